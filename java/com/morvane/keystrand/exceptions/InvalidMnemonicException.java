package com.morvane.keystrand.exceptions;

public class InvalidMnemonicException extends Exception {
    private static final long serialVersionUID = 1L;

    public InvalidMnemonicException(String message) {
        super(message);
    }
}
