package com.morvane.keystrand.exceptions;

public class KeyDerivationFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public KeyDerivationFailException(String message) {
        super(message);
    }
}
