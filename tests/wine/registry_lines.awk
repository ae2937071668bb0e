# Turns a registry file (REGEDIT4, or the "Version 5.00" form that Wine's regedit exports,
# already in UTF-8) into one line per value: key <TAB> value name <TAB> data as written.
# Keys and names are folded to lower case, since the registry ignores their case; data is kept
# exactly. The default value is named "@". A key without values gives: key <TAB> <TAB>.
# With -v wine_escapes=1 (a registry file of Wine's, read with LC_ALL=C), a string's escapes are
# taken back to the bytes they stand for.
{
    sub(/\r$/, "")
}

# Continued lines of long hex data.
pending != "" {
    line = $0
    sub(/^[ \t]+/, "", line)
    pending = pending line
    if (pending ~ /\\$/) {
        sub(/\\$/, "", pending)
        next
    }
    emit(pending)
    pending = ""
    next
}

/^\[/ {
    flush_empty()
    key = $0
    sub(/^\[/, "", key)
    sub(/\][ \t]*$/, "", key)
    key = tolower(key)
    had_value = 0
    next
}

key != "" && (/^"/ || /^@=/) {
    if ($0 ~ /\\$/ && $0 !~ /^("([^"\\]|\\.)*"|@)="/) {
        pending = $0
        sub(/\\$/, "", pending)
        next
    }
    emit($0)
}

END {
    flush_empty()
}

function emit(line,    name, rest, i, c, escaped) {
    if (line ~ /^@=/) {
        name = "@"
        rest = substr(line, 3)
    } else {
        # A quoted name: find its closing quotation mark, passing over \" and \\.
        escaped = 0
        for (i = 2; i <= length(line); i++) {
            c = substr(line, i, 1)
            if (escaped) {
                escaped = 0
            } else if (c == "\\") {
                escaped = 1
            } else if (c == "\"") {
                break
            }
        }
        name = tolower(substr(line, 2, i - 2))
        rest = substr(line, i + 2)
    }
    if (wine_escapes && rest ~ /^".*"$/)
        rest = "\"" wine_text(substr(rest, 2, length(rest) - 2)) "\""
    print key "\t" name "\t" rest
    had_value = 1
}

function flush_empty() {
    if (key != "" && !had_value)
        print key "\t\t"
}

# Wine writes a string's bytes below 32 as C escapes (\a, \t, ...) or in octal, and characters
# above 127 as \x and their code; REGEDIT4 escapes only \\ and \". Codes above 255 stay escaped.
function wine_text(text,    out, i, c, code, digits, places, codes) {
    out = ""
    for (i = 1; i <= length(text); i++) {
        c = substr(text, i, 1)
        if (c != "\\" || i == length(text)) {
            out = out c
            continue
        }
        c = substr(text, ++i, 1)
        if (c == "\\" || c == "\"") {
            out = out "\\" c
        } else if (index("abtnvfre", c)) {
            split("7 8 9 10 11 12 13 27", codes, " ")
            out = out sprintf("%c", codes[index("abtnvfre", c)])
        } else if (c ~ /[0-7]/ || c == "x") {
            digits = c == "x" ? "0123456789abcdef" : "01234567"
            places = c == "x" ? 4 : 3
            code = 0
            if (c == "x")
                i++
            for (; places > 0 && index(digits, tolower(substr(text, i, 1))); places--)
                code = code * length(digits) + index(digits, tolower(substr(text, i++, 1))) - 1
            i--
            out = out (code < 256 ? sprintf("%c", code) : sprintf("\\x%04x", code))
        } else {
            out = out "\\" c
        }
    }
    return out
}
