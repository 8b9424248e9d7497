package com.morvane.keystrand.harness;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** A small reader for the vector files: objects, arrays, strings, numbers, literals. */
final class Json {
    private final String text;
    private int pos;

    private Json(String text) {
        this.text = text;
    }

    static Object parse(String text) {
        Json j = new Json(text);
        Object v = j.value();
        j.skipSpace();
        if (j.pos != text.length()) {
            throw new IllegalArgumentException("text after the value at " + j.pos);
        }
        return v;
    }

    private void skipSpace() {
        while (pos < text.length() && Character.isWhitespace(text.charAt(pos))) {
            pos++;
        }
    }

    private Object value() {
        skipSpace();
        char c = text.charAt(pos);
        switch (c) {
            case '{':
                return object();
            case '[':
                return array();
            case '"':
                return string();
            case 't':
                return literal("true", Boolean.TRUE);
            case 'f':
                return literal("false", Boolean.FALSE);
            case 'n':
                return literal("null", null);
            default:
                return number();
        }
    }

    private Object literal(String word, Object v) {
        if (!text.startsWith(word, pos)) {
            throw new IllegalArgumentException("bad literal at " + pos);
        }
        pos += word.length();
        return v;
    }

    private Object number() {
        int start = pos;
        while (pos < text.length() && "+-0123456789.eE".indexOf(text.charAt(pos)) >= 0) {
            pos++;
        }
        return Double.parseDouble(text.substring(start, pos));
    }

    private Map<String, Object> object() {
        Map<String, Object> m = new LinkedHashMap<>();
        pos++;
        skipSpace();
        if (text.charAt(pos) == '}') {
            pos++;
            return m;
        }
        while (true) {
            skipSpace();
            String key = string();
            skipSpace();
            expect(':');
            m.put(key, value());
            skipSpace();
            if (text.charAt(pos) == ',') {
                pos++;
                continue;
            }
            expect('}');
            return m;
        }
    }

    private List<Object> array() {
        List<Object> a = new ArrayList<>();
        pos++;
        skipSpace();
        if (text.charAt(pos) == ']') {
            pos++;
            return a;
        }
        while (true) {
            a.add(value());
            skipSpace();
            if (text.charAt(pos) == ',') {
                pos++;
                continue;
            }
            expect(']');
            return a;
        }
    }

    private String string() {
        expect('"');
        StringBuilder b = new StringBuilder();
        while (true) {
            char c = text.charAt(pos++);
            if (c == '"') {
                return b.toString();
            }
            if (c != '\\') {
                b.append(c);
                continue;
            }
            char e = text.charAt(pos++);
            switch (e) {
                case 'n':
                    b.append('\n');
                    break;
                case 't':
                    b.append('\t');
                    break;
                case 'r':
                    b.append('\r');
                    break;
                case 'b':
                    b.append('\b');
                    break;
                case 'f':
                    b.append('\f');
                    break;
                case 'u':
                    b.append((char) Integer.parseInt(text.substring(pos, pos + 4), 16));
                    pos += 4;
                    break;
                default:
                    b.append(e);
            }
        }
    }

    private void expect(char c) {
        if (text.charAt(pos) != c) {
            throw new IllegalArgumentException("expected " + c + " at " + pos);
        }
        pos++;
    }
}
