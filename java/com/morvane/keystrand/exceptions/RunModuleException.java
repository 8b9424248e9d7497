package com.morvane.keystrand.exceptions;

public class RunModuleException extends Exception {
    private static final long serialVersionUID = 1L;

    public RunModuleException(String message) {
        super(message);
    }
}
