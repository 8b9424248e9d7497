package com.morvane.keystrand.exceptions;

public class GenerateEntropyFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public GenerateEntropyFailException(String message) {
        super(message);
    }
}
