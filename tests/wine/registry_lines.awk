# Turns a registry file (REGEDIT4, or the "Version 5.00" form that Wine's regedit exports,
# already in UTF-8) into one line per value: key <TAB> value name <TAB> data as written.
# Keys and names are folded to lower case, since the registry ignores their case; data is kept
# exactly. The default value is named "@". A key without values gives: key <TAB> <TAB>.
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
    print key "\t" name "\t" rest
    had_value = 1
}

function flush_empty() {
    if (key != "" && !had_value)
        print key "\t\t"
}
