package com.morvane.keystrand.exceptions;

public class GenerateMasterNodeFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public GenerateMasterNodeFailException(String message) {
        super(message);
    }
}
