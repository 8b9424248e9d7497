package com.morvane.keystrand.exceptions;

public class GenerateMnemonicFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public GenerateMnemonicFailException(String message) {
        super(message);
    }
}
