package com.morvane.keystrand.exceptions;

public class MultisigErrorException extends Exception {
    private static final long serialVersionUID = 1L;

    public MultisigErrorException(String message) {
        super(message);
    }
}
