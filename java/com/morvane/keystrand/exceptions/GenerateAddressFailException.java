package com.morvane.keystrand.exceptions;

public class GenerateAddressFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public GenerateAddressFailException(String message) {
        super(message);
    }
}
