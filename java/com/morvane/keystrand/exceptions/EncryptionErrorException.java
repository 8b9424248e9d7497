package com.morvane.keystrand.exceptions;

public class EncryptionErrorException extends Exception {
    private static final long serialVersionUID = 1L;

    public EncryptionErrorException(String message) {
        super(message);
    }
}
