#!/usr/bin/env python3
# A check of --delete-if and --delete-lines against gcc's preprocessor, by hand (it needs gcc):
# writes COUNT random C files and compares the tokens gcc -E -P -UDEBUG gives for each input
# and for srctdy-cli's output.
#
#   tests/fuzz/line_deletion_gcc_diff.py SEED COUNT [if|lines] [SRCTDY_CLI]
#
# if: --delete-if=DEBUG. The files' real "#if DEBUG" blocks hold no #else and no nested #if,
#     so gcc, with DEBUG undefined, drops exactly the blocks the deletion takes.
# lines: --delete-lines=//DEL or =/*DEL. The matching lines hold only comments, so deleting one
#     that stands apart changes no token.
# Between them stand lines that only look like directives or matching lines: inside comments,
# in literals a splice continues, after splices. Prints a line per file whose tokens differ.
import os, random, subprocess, sys, tempfile

seed = int(sys.argv[1]); count = int(sys.argv[2])
mode = sys.argv[3] if len(sys.argv) > 3 else 'if'
cli = sys.argv[4] if len(sys.argv) > 4 else os.path.join(
    os.path.dirname(os.path.abspath(__file__)), '../../build/release/cli/srctdy-cli')
rng = random.Random(seed)
work = os.path.join(tempfile.gettempdir(), f'srctdy-ldd-{seed}')
os.makedirs(work, exist_ok=True)

def code():
    return rng.choice(['int a;', 'x = 1;', 'f();', '', '  y++;', 'char *s = "q";', 'z = 2; /* c */'])

def lookalike():
    return rng.choice(['#if DEBUG', '#endif', '#ifdef DEBUG', '//DEL x', '/*DEL x */'])

def piece(depth):
    r = rng.random()
    if r < 0.3:
        return [code()]
    if r < 0.4:
        return ['/*', lookalike(), rng.choice(['*/', '#endif */', 'x */'])]
    if r < 0.5:
        return ['s = "a\\', lookalike(), '";']
    if r < 0.6:
        return ['#define M 1 \\', rng.choice([lookalike(), '+ 2'])]
    if r < 0.65:
        return ['// c \\', lookalike()]
    if mode == 'lines' and r < 0.8:
        return [rng.choice(['//DEL x', '//DEL x \\', '/*DEL x */', '/*DEL x', '//DEL "']), code()]
    if r < 0.9 and depth == 0:
        body = []
        for _ in range(rng.randint(0, 3)):
            body += piece(1)
        head = rng.choice(['#if DEBUG', '#ifdef DEBUG', '#if defined(DEBUG) /* d */',
                           '#if DEBUG /* a', '#if DEBUG // x'])
        if head.endswith('/* a'):
            body = ['b */'] + body
        return [head] + body + [rng.choice(['#endif', '#endif /* DEBUG */', '#endif // x'])]
    return [code()]

def tokens(path):
    g = subprocess.run(['gcc', '-E', '-P', '-UDEBUG', '-w', path], capture_output=True)
    return g.returncode, ' '.join(g.stdout.decode(errors='replace').split())

bad = 0
for i in range(count):
    lines = []
    for _ in range(rng.randint(1, 12)):
        lines += piece(0)
    source = os.path.join(work, f'f{i}.c')
    with open(source, 'w') as f:
        f.write('\n'.join(lines) + '\nint end;\n')
    option = ('--delete-if=DEBUG' if mode == 'if' else
              rng.choice(['--delete-lines=//DEL', '--delete-lines=/*DEL']))
    r = subprocess.run([cli, '--no-config', '--stdout', option, source], capture_output=True)
    if r.returncode != 0:
        bad += 1
        print('FAILED', source, r.stderr.decode(errors='replace').strip())
        continue
    output = os.path.join(work, f'o{i}.c')
    with open(output, 'wb') as f:
        f.write(r.stdout)
    if tokens(source) != tokens(output):
        bad += 1
        print('MISMATCH', source, output, option)
print(f'seed {seed}: {count} files, {bad} differ')
