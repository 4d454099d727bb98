#!/usr/bin/env python3
"""Compiles data/sentences.txt into the program's sentence table (a C++ source).

Sentence n becomes entry n - 1 of s1: "n,fg0,bg0,fg1,bg1,count,code,...", the
codes being glyph codes of the OSD font (character - 32).
"""
import sys

COUNT = 372


def parse(lines):
    colours = None
    texts = {}
    for n, raw in enumerate(lines, 1):
        line = raw.rstrip('\r\n')
        words = line.split()
        if not words or words[0].startswith('#'):
            continue
        try:
            if words[0] == 'colours':
                colours = tuple(int(w) for w in words[1:])
                if len(colours) != 4 or any(not 0 <= c <= 255 for c in colours):
                    raise ValueError('colours takes four palette indexes')
                continue
            number = int(words[0])
            text = line.lstrip().split(None, 1)[1] if len(words) > 1 else ''
            if not 1 <= number <= COUNT:
                raise ValueError(f'sentence {number} outside 1..{COUNT}')
            if number in texts:
                raise ValueError(f'sentence {number} twice')
            if colours is None:
                raise ValueError('no colours before the first sentence')
            if not text or any(not 32 <= ord(c) <= 126 for c in text):
                raise ValueError('the text must be printable ASCII and not empty')
            texts[number] = (colours, text)
        except ValueError as e:
            sys.exit(f'sentences line {n}: {e}')
    missing = [n for n in range(1, COUNT + 1) if n not in texts]
    if missing:
        sys.exit(f'sentences missing: {missing[:10]}')
    return texts


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: gen_sentences.py SOURCE OUT_CPP')
    with open(sys.argv[1], encoding='ascii') as f:
        texts = parse(f.readlines())
    out = ['// Made by tools/gen/gen_sentences.py from data/sentences.txt; edit that file instead.\n',
           '#include "osd/sentences.h"\n\n',
           'const char* const s1[kSentenceCount] = {\n']
    for n in range(1, COUNT + 1):
        colours, text = texts[n]
        codes = [str(ord(c) - 32) for c in text]
        fields = [str(n), *map(str, colours), str(len(codes)), *codes]
        comment = text.replace('*/', '* /')
        out.append(f'    /* {n:3} {comment} */ "{",".join(fields)}",\n')
    out.append('};\n')
    with open(sys.argv[2], 'w', encoding='ascii', newline='\n') as f:
        f.write(''.join(out))


if __name__ == '__main__':
    main()
