package com.morvane.keystrand.exceptions;

public class ConvertMnemonicToSeedFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public ConvertMnemonicToSeedFailException(String message) {
        super(message);
    }
}
