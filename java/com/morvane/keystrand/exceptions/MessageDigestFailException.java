package com.morvane.keystrand.exceptions;

public class MessageDigestFailException extends Exception {
    private static final long serialVersionUID = 1L;

    public MessageDigestFailException(String message) {
        super(message);
    }
}
