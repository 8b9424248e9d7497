package com.morvane.keystrand.exceptions;

public class GenerateTransactionFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public GenerateTransactionFailException(String message) {
        super(message);
    }
}
