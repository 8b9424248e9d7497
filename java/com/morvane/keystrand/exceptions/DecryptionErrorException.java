package com.morvane.keystrand.exceptions;

public class DecryptionErrorException extends Exception {
    private static final long serialVersionUID = 1L;

    public DecryptionErrorException(String message) {
        super(message);
    }
}
