#!/usr/bin/env python3
"""Checks that the program cannot reach the host by accident.

(a) A string literal naming a device path (/dev/, /root/, /proc/, /mnt/,
    /tmp/, /var/, /sbin/, /bin/) must be an argument of board::path() (a file
    the program opens), board::deviceText() (text that only names the path,
    or a command line that runs in the sandbox of the exec layer) or
    MyDoSystem().
(b) No call of sethostname, settimeofday, clock_settime, mount, reboot,
    mknod, system or popen outside src/platform/.

Scans src/ (except src/platform/, which holds the board-path function and the
exec layer) and tools/. Exits 1 and lists the places when it finds any.
"""
import pathlib
import re
import sys

DEVICE_PATH = re.compile(r'(^|[^A-Za-z0-9_.])/(dev|root|proc|mnt|tmp|var|sbin|bin)(/|$|[^A-Za-z0-9_])')
ALLOWED_CALLEE = re.compile(r'(\bboard::path|\bboard::deviceText|\bMyDoSystem)\s*\(\s*$')
HOST_CALL = re.compile(
    r'(?<![\w.>:])(?:::)?\b(sethostname|settimeofday|clock_settime|mount|reboot|mknod|system|popen)\s*\('
    r'|\bstd::(system|popen)\s*\(')
SUFFIXES = {'.cpp', '.cc', '.h', '.hpp'}


def tokens(text):
    """Yields ('code', text) and ('string', content, start) pieces; drops comments."""
    i, n, code_start = 0, len(text), 0
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            yield ('code', text[code_start:i], code_start)
            j = text.find('\n', i)
            i = n if j < 0 else j
            code_start = i
        elif text.startswith('/*', i):
            yield ('code', text[code_start:i], code_start)
            j = text.find('*/', i + 2)
            i = n if j < 0 else j + 2
            code_start = i
        elif c == 'R' and i + 1 < n and text[i + 1] == '"' and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_')):
            yield ('code', text[code_start:i], code_start)
            k = text.find('(', i + 2)
            delim = text[i + 2:k]
            end = text.find(')' + delim + '"', k)
            end = n if end < 0 else end
            yield ('string', text[k + 1:end], i)
            i = min(n, end + len(delim) + 2)
            code_start = i
        elif c == '"':
            yield ('code', text[code_start:i], code_start)
            j = i + 1
            while j < n and text[j] != '"':
                j += 2 if text[j] == '\\' else 1
            yield ('string', text[i + 1:j], i)
            i = j + 1
            code_start = i
        elif c == "'":
            j = i + 1
            while j < n and text[j] != "'":
                j += 2 if text[j] == '\\' else 1
            i = j + 1
        else:
            i += 1
    yield ('code', text[code_start:], code_start)


def check_text(text):
    """Returns a list of (offset, message) for one file's text."""
    problems = []
    pieces = list(tokens(text))
    code_only = []
    for idx, piece in enumerate(pieces):
        if piece[0] == 'code':
            code_only.append(piece[1])
            continue
        code_only.append('""')
        content, start = piece[1], piece[2]
        if not DEVICE_PATH.search(content):
            continue
        # What precedes the literal, skipping adjacent literals of one concatenation.
        k = idx - 1
        before = ''
        while k >= 0:
            if pieces[k][0] == 'string':
                k -= 1
                continue
            if pieces[k][1].strip() == '' and k - 1 >= 0 and pieces[k - 1][0] == 'string':
                k -= 1
                continue
            before = pieces[k][1]
            break
        if not ALLOWED_CALLEE.search(before):
            problems.append((start, 'device path literal "%s" outside board::path/deviceText/MyDoSystem' % content[:60]))
    code = ''.join(code_only)
    for m in HOST_CALL.finditer(code):
        problems.append((None, 'host-changing call "%s"' % m.group(0).strip()))
    return problems


def line_of(text, offset):
    return text.count('\n', 0, offset) + 1


def self_test():
    cases = [
        ('f(board::path("/root/persist/x"));', 0),
        ('MyDoSystem("reboot >/dev/null 2>&1");', 0),
        ('auto s = board::deviceText("/sbin/route add" " default");', 0),
        ('auto s = board::deviceText(R"(cat > /root/persist/x <<EOF\nEOF)");', 0),
        ('fopen("/root/persist/x", "r");', 1),
        ('std::string d = "/dev/ttyS0";', 1),
        ('// fopen("/root/x")\nint a;', 0),
        ('const char* rel = "../memfiles/parts.csv";', 0),
        ('system("ls");', 1),
        ('std::system("ls");', 1),
        ('x.mount(a);', 0),
        ('board::mount(a);', 0),
        ('::mount(a, b, c, 0, 0);', 1),
        ('warm_reboot();', 0),
        ('reboot(RB_AUTOBOOT);', 1),
        ('char c = \'"\'; auto p = "usr/bin/x";', 0),
    ]
    bad = 0
    for src, want in cases:
        got = len(check_text(src))
        if got != want:
            print('lint self-test: %r gave %d problem(s), expected %d' % (src, got, want))
            bad += 1
    return bad


def main():
    top = pathlib.Path(__file__).resolve().parent.parent
    if self_test():
        return 1
    files = []
    for folder in ('src', 'tools'):
        for p in sorted((top / folder).rglob('*')):
            if p.suffix in SUFFIXES and not p.is_relative_to(top / 'src/platform'):
                files.append(p)
    found = 0
    for p in files:
        text = p.read_text(errors='replace')
        for offset, msg in check_text(text):
            where = '%s:%d' % (p.relative_to(top), line_of(text, offset)) if offset is not None else str(p.relative_to(top))
            print('%s: %s' % (where, msg))
            found += 1
    if found:
        print('lint: %d problem(s)' % found)
        return 1
    print('lint: %d files clean' % len(files))
    return 0


if __name__ == '__main__':
    sys.exit(main())
