#!/usr/bin/env python3
# A differential check of the rules against a compiler's lexer, by hand (it needs clang):
# writes COUNT random C and C++ files, converts them with srctdy-cli under a dozen option
# sets, with and without --fast, and compares clang's raw tokens of each output with its
# input's. The rules and the token check share a model of the language that libFuzzer cannot
# question; clang is a second one. What clang reads otherwise than gcc is evened out first:
# code page 932 is read as characters (each pair one letter), a CR without an LF after it ends
# a line, and a last line gets its LF. NULs and include names holding comment marks are left
# out: there clang's raw lexer and gcc part.
#
#   tests/fuzz/clang_lexer_diff.py SEED COUNT [SRCTDY_CLI] [plain|cr|cpp|crcpp]
#
# cr: more CRs, and splices at them, inside lines; cpp: mostly C++ files, with tokens that
# splices cut (names, numbers, raw-string prefixes); crcpp: both.
#
# Prints a line per output whose tokens differ (MISMATCH) and per file the token check refused
# although its --fast output keeps the tokens (REFUSED). Work files go to $TMPDIR/srctdy-cld-PROFILE-SEED.
import os, random, re, subprocess, sys, shutil, hashlib

seed = int(sys.argv[1]); count = int(sys.argv[2])
cli = sys.argv[3] if len(sys.argv) > 3 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '../../build/release/cli/srctdy-cli')
profile = sys.argv[4] if len(sys.argv) > 4 else 'plain'
rng = random.Random(seed)
import tempfile
work = os.path.join(tempfile.gettempdir(), f'srctdy-cld-{profile}-{seed}')
shutil.rmtree(work, ignore_errors=True); os.makedirs(work)

CP = [b'\x95\x5c', b'\x83\x5c', b'\x82\xa0', b'\x8a\xbf', b'\x81\x5b', b'\x98\x5c', b'\xe0\x5c', b'\xfc\x5c', b'\x9f\x7c']
FW = b'\x81\x40'
U8 = [b'\xe8\xa1\xa8', b'\xe3\x81\x82', b'\xc3\xa9']
U8FW = b'\xe3\x80\x80'

def word(u8):
    pool = CP if not u8 else U8
    r = rng.random()
    if r < 0.5:
        return rng.choice([b'x', b'y1', b'foo', b'bar_', b'0x1F', b'1', b'2.5e3', b'L', b'u8', b'R', b'a', b'b', b'F', b'N'])
    if r < 0.7:
        return rng.choice([b'+', b'-', b'*', b'/', b'=', b';', b',', b'(', b')', b'<', b'>', b'&', b'|',
                           b'!', b'?', b':', b'.', b'%', b'^', b'~', b'[', b']', b'{', b'}', b'#', b'##', b'%:', b'<:', b'...'])
    if r < 0.85:
        return rng.choice([b' ', b'  ', b'\t', b' \t ', b'\v', b'\f'])
    return rng.choice(pool)

def comment_text(u8):
    out = b''
    for _ in range(rng.randint(0, 6)):
        r = rng.random()
        if r < 0.4: out += rng.choice([b' a', b' b c', b'x', b' ', b'\t', b'"', b"'", b'/', b'*', b'//', b'/*', b'**', b'#', b'{', b'}', b'\\', b'://host/x'])
        elif r < 0.7: out += rng.choice(CP if not u8 else U8)
        elif r < 0.8: out += (FW if not u8 else U8FW)
        else: out += b' ' * rng.randint(1, 30)
    return out

def literal(u8, cpp):
    q = rng.choice([b'"', b'"', b"'"])
    body = b''
    for _ in range(rng.randint(0, 4)):
        r = rng.random()
        if r < 0.3: body += rng.choice([b'a', b' ', b'\t', b'/*', b'//', b'*/', b'\\\\', b'\\n', b'\\"', b"\\'", b'"' if q == b"'" else b"'", b'?', b'??/'])
        elif r < 0.6: body += rng.choice(CP if not u8 else U8)
        elif r < 0.7: body += (FW if not u8 else U8FW)
        else: body += b'b'
    if q == b"'" and rng.random() < 0.6:
        body = rng.choice([b'"', b'a', b'\\\'', b'/', b'\\\\', b'*'])
    close = q if rng.random() < 0.93 else b''
    pre = rng.choice([b'', b'', b'', b'L', b'u8', b'U'])
    if cpp and rng.random() < 0.15:
        d = rng.choice([b'', b'x', b'ab'])
        return b'R"' + d + b'(' + body + b')' + d + b'"'
    return pre + q + body + close

def line(u8, cpp):
    parts = []
    r = rng.random()
    if r < 0.12:
        parts.append(rng.choice([b'#define F(x) ', b'#define A ', b'#define F (x) ', b'# define B', b'#if 0', b'#if X', b'#endif', b'#else',
                                 b'#include <a.h>', b'#include "b.h"', b'#include', b'#  include <c d.h>', b'%:define G ', b'#pragma x', b'#error it\'s']))
    elif r < 0.2:
        parts.append(rng.choice([b'case 1:', b'default:', b'public:', b'lbl:', b'{', b'}', b'} else {', b'int main(void)', b'return 0;']))
    indent = rng.choice([b'', b'', b'    ', b'\t', b'  \t', b' ' * 9, FW if not u8 else U8FW])
    if 'cpp' in profile and cpp and rng.random() < 0.4:
        indent = rng.choice([b"'000", b'R"(', b'8R"(', b'.5\'0', b"'a'", b'x', b'"(', b'R"x(', b"0'1"])
    for _ in range(rng.randint(0, 12)):
        r = rng.random()
        if r < 0.55: parts.append(word(u8))
        elif r < 0.68: parts.append(literal(u8, cpp))
        elif r < 0.80: parts.append(b'/*' + comment_text(u8) + (b'*/' if rng.random() < 0.6 else b''))
        elif r < 0.84: parts.append(b'*/')
        elif r < 0.90: parts.append(b'//' + comment_text(u8)); break
        elif r < 0.93:
            parts.append(rng.choice([b'\r', b'\\\r', b'\\ \r', b'*\\\r', b'/\\\r', b'\\\\\r', b'\r\r', b'"\\\r'])
                         if 'cr' in profile else b'\r')
        elif r < 0.96: parts.append(b'x' * rng.randint(20, 90))
        elif cpp: parts.append(rng.choice([b"1'000", b"0x1'F", b"'a'"]))
    text = indent + b''.join(parts)
    if rng.random() < 0.05:
        # splices at CRs first: a mark cut at the line before goes on past them
        text = rng.choice([b'\\\r', b'\\ \r', b'\\\r\\\r']) + text
    if 'cpp' in profile and cpp and rng.random() < 0.3:
        return text + rng.choice([b'1', b'u', b'x', b'N', b'0x1', b'u8', b'L', b'.', b'1.', b'R']) + b'\\'
    r = rng.random()
    if r < 0.10: text += b'\\'
    elif r < 0.14: text += b'\\ \t'
    elif r < 0.17: text += rng.choice(CP[:2] if not u8 else U8)
    elif r < 0.22: text += b'   '
    elif r < 0.24: text += b'\\\r'
    elif r < 0.27: text += rng.choice([b'*\\', b'/\\'])
    return text

def make_file(u8, cpp):
    n = rng.randint(1, 30)
    out = b''
    crlf = rng.random() < 0.3
    for _ in range(n):
        if not u8 and rng.random() < 0.04:
            # a module-header block and the function line after it
            block = [b'/' + b'*' * 68, b'[\x8a\xd6\x90\x94\x96\xbc] ' + rng.choice([b'', b'old', b'/* x */', b'// y']),
                     b'[\x8a\x54\x97\x76] ' + comment_text(u8), b'*' * 68 + b'/',
                     rng.choice([b'int main(void)', b'static int f(int a) /* c */', b'void g(void) // d', b'int h(int a,\\', b'x'])]
            for t in block:
                out += t + (b'\r\n' if crlf else b'\n')
            continue
        if rng.random() < 0.04:
            # a comment mark cut by a splice at a line's end, going on past splices at CRs
            head = rng.choice([b'{ /* a *', b'x = 1 /', b'/* b *', b'y /'])
            cont = rng.choice([b'\\\r', b'\\ \r', b'\\\r\\\r', b''])
            out += head + b'\\' + (b'\r\n' if crlf else b'\n')
            out += cont + rng.choice([b'/', b'*', b'/ z', b'* c */ w']) + line(u8, cpp) + (b'\r\n' if crlf else b'\n')
            continue
        t = b'' if rng.random() < 0.1 else line(u8, cpp)
        out += t + (b'\r\n' if (crlf if rng.random() < 0.9 else not crlf) else b'\n')
    if rng.random() < 0.1:
        out = out.rstrip(b'\r\n')
    return out

srcdir = os.path.join(work, 'src'); os.makedirs(srcdir)
names = []
for i in range(count):
    u8 = rng.random() < 0.25
    cpp = rng.random() < (0.8 if 'cpp' in profile else 0.25)
    name = f'f{i:04d}.' + ('cpp' if cpp else 'c')
    data = make_file(u8, cpp)
    if u8 and rng.random() < 0.3:
        data = b'\xef\xbb\xbf' + data
    open(os.path.join(srcdir, name), 'wb').write(data)
    names.append(name)

TOK = re.compile(rb'\tLoc=<[^\n>]*:\d+:\d+>\n')
FLAGS = re.compile(rb"^( \[StartOfLine\]| \[LeadingSpace\]| \[ExpandDisabled\]| \[UnClean='.*'\])*$", re.S)
WS = set(b' \t\n\r\v\f')

def is_utf8(data):
    if data.startswith(b'\xef\xbb\xbf'):
        return True
    try:
        data.decode('utf-8')
    except UnicodeDecodeError:
        return False
    return any(c >= 0x80 for c in data)

def transcode(data):
    # the code page 932 reading, in UTF-8: each character one code point; 0x5C in a second
    # byte is no backslash; the full-width space is U+3000
    out = bytearray(); i = 0; n = len(data)
    while i < n:
        c = data[i]
        if c < 0x80:
            out.append(c); i += 1
        elif (0x81 <= c <= 0x9F or 0xE0 <= c <= 0xFC) and i + 1 < n and 0x40 <= data[i+1] <= 0xFC and data[i+1] != 0x7F:
            t = data[i+1]
            # a letter to the compiler, as every double-byte character but the space is
            lead = c - 0x81 if c <= 0x9F else c - 0xE0 + 31
            out += ('\u3000' if (c, t) == (0x81, 0x40) else chr(0x4E00 + lead * 189 + (t - 0x40))).encode()
            i += 2
        elif 0xA1 <= c <= 0xDF:
            out += chr(0xFF61 + c - 0xA1).encode(); i += 1  # half-width katakana: a letter
        else:
            out += chr(0x2190 + c - 0x80).encode(); i += 1  # no letter, no blank
    return bytes(out)

def tokens(path):
    lang = ['-x', 'c++', '-std=gnu++17'] if path.endswith('.cpp') else ['-x', 'c', '-std=gnu17']
    data = open(path, 'rb').read()
    if not is_utf8(data):
        data = transcode(data)
    # gcc ends a line at a CR that no LF follows; clang takes LF CR after a splice for one
    data = re.sub(b'\r(?!\n)', b'\n', data)
    if data and not data.endswith(b'\n'):
        data += b'\n'  # gcc reads a last line without one as if it had it
    tmp = os.path.join(work, 'clang' + ('.cpp' if path.endswith('.cpp') else '.c'))
    open(tmp, 'wb').write(data)
    path = tmp
    r = subprocess.run(['clang', '-cc1', '-dump-raw-tokens'] + lang + [path], capture_output=True)
    sig = []
    gap = False
    solPending = False
    for ch in TOK.split(r.stderr):
        if not ch:
            continue
        sp = ch.find(b" '")
        if sp < 0:
            raise RuntimeError(f'parse {path}: {ch[:200]!r}')
        kind = ch[:sp]
        rest = ch[sp + 2:]
        pos = 0
        spelling = None; flags = b''
        while True:
            j = rest.find(b"'\t", pos)
            if j < 0:
                break
            if FLAGS.match(rest[j + 2:]):
                spelling = rest[:j]; flags = rest[j + 2:]; break
            pos = j + 1
        if spelling is None:
            raise RuntimeError(f'parse {path}: {ch[:200]!r}')
        sol = b'[StartOfLine]' in flags
        # A comment is white space, and so is a full-width space outside literals; a comment
        # still open at the end of the file is one too.
        if kind == b'comment' or (kind == b'unknown' and (
                all(c in WS for c in spelling.replace(U8FW, b'')) or spelling.startswith(b'/*'))):
            gap = True
            solPending = solPending or sol
            continue
        # gcc reads CR LF as one line end, inside a raw string too
        spelling = spelling.replace(b'\r\n', b'\n')
        if kind == b'unknown':  # an unclosed literal: to its line's end, whatever that is
            spelling = spelling.rstrip(b'\r\n')
        sol = sol or solPending
        solPending = False
        # (kind, spelling, first on its line, white space before it)
        sig.append((kind, spelling, sol, None if sol else gap))
        gap = False
    return sig

SETS = [
    [], ['--indent=tab'], ['--comments=line'], ['--comments=block'], ['--comments=split'],
    ['--comments=line', '--delete-empty'], ['--comments=block', '--delete-empty'],
    ['--comments=split', '--delete-empty'], ['--comments=line', '--function-names'],
    ['--eol=lf', '--comments=block'], ['--eol=keep', '--comments=line'],
    ['--definitions', '--comments=block'], ['--no-trim', '--comments=split', '--indent=off'],
]
only = os.environ.get('SETS')
base = {n: tokens(os.path.join(srcdir, n)) for n in names}
cache = {}
bad = 0
refusals = 0
for k, opts in enumerate(SETS):
    if only and str(k) not in only.split(','):
        continue
    for fast in (True, False):
        sub = f'o{k}{"f" if fast else "g"}'
        cmd = [cli, '--no-config', '-j1', '--quiet', '--type=*.c,*.cpp', f'--subfolder={sub}'] + (['--fast'] if fast else []) + opts + [srcdir]
        r = subprocess.run(cmd, capture_output=True)
        refusals += r.stderr.count(b'\n')
        for n in names:
            p = os.path.join(srcdir, sub, n)
            if not os.path.exists(p):
                pf = os.path.join(srcdir, f'o{k}f', n)
                if not fast and os.path.exists(pf) and tokens(pf) == base[n]:
                    print(f'REFUSED set={k} {opts} file={sub}/{n}: its --fast output keeps the tokens')
                continue
            data = open(p, 'rb').read()
            h = hashlib.sha1(data + n.encode()).hexdigest()
            if h not in cache:
                cache[h] = tokens(p)
            if cache[h] != base[n]:
                a, b = base[n], cache[h]
                i = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), min(len(a), len(b)))
                print(f'MISMATCH set={k} {opts} fast={fast} file={sub}/{n} at {i}: in={a[i] if i < len(a) else None} out={b[i] if i < len(b) else None}')
                bad += 1
print(f'seed {seed}: {count} files, {bad} mismatches, {refusals} refusal lines')
