#!/usr/bin/env python3
"""Writes a pseudo-translation of a gettext template: every msgstr is its
msgid with accented letters, in brackets and about 40 % longer, so that a
window under it shows at a glance which texts skip the catalog and where a
longer language would not fit.

printf directives (%s, %lld, %1$s, %%), markup tags and entities, and the
letter after a mnemonic underscore are kept as they are.

    usage: pseudo_locale.py TEMPLATE.pot OUTPUT.po
"""
import math
import re
import sys

ACCENTED = str.maketrans(
    "aceinosuyzACEINOSUYZ",
    "áçéîñöšüýžÁÇÉÎÑÖŠÜÝŽ",
)
PADDING = " ōñé ţŵö ţĥŕéé ƒöûŕ ƒîvé šîx šévéñ éîĝĥţ ñîñé ţéñ"
# What passes through untouched: printf directives, tags, entities, a mnemonic and its letter, escapes.
KEPT = re.compile(r"%(?:\d+\$)?[-+ #0']*\d*(?:\.\d+)?(?:hh|h|ll|l|z|j|t|L)?[diouxXeEfgGcsp%]"
                  r"|<[^>]*>|&[#\w]+;|_\w|\\.")


def pseudo(text):
    if not text:
        return text
    parts, end, visible = [], 0, 0
    for kept in KEPT.finditer(text):
        plain = text[end:kept.start()]
        parts.append(plain.translate(ACCENTED))
        visible += len(plain) + (1 if kept.group().startswith("_") else 0)
        parts.append(kept.group())
        end = kept.end()
    parts.append(text[end:].translate(ACCENTED))
    visible += len(text) - end
    extra = max(0, math.ceil(visible * 0.4) - 2)  # the brackets count too
    padding = (PADDING * (extra // len(PADDING) + 1))[:extra]
    padding = padding.rstrip().ljust(extra, "·")
    body = "".join(parts)
    # A trailing newline stays last: the texts that end in one are whole lines.
    tail = "\\n" if body.endswith("\\n") else ""
    if tail:
        body = body[:-2]
    return "[" + body + padding + "]" + tail


HEADER = ("Project-Id-Version: Quillbay\\n"
          "PO-Revision-Date: 2026-01-01 00:00+0000\\n"
          "Last-Translator: pseudo_locale.py\\n"
          "Language-Team: none\\n"
          "Language: x-pseudo\\n"
          "MIME-Version: 1.0\\n"
          "Content-Type: text/plain; charset=UTF-8\\n"
          "Content-Transfer-Encoding: 8bit\\n"
          "Plural-Forms: nplurals=2; plural=(n != 1);\\n")


def unquote(line):
    return line[line.index('"') + 1:line.rindex('"')]


def entries(lines):
    """Each entry as (comment lines, {keyword: text}) with texts still escaped."""
    comments, fields, last = [], {}, None
    for line in lines + [""]:
        if not line.strip():
            if fields:
                yield comments, fields
            comments, fields, last = [], {}, None
        elif line.startswith("#"):
            comments.append(line)
        elif line.startswith('"'):
            fields[last] += unquote(line)
        else:
            last = line.split(" ", 1)[0]
            fields[last] = unquote(line)


def quoted(keyword, text):
    return f'{keyword} "{text}"'


def main(template, output):
    with open(template, encoding="utf-8") as source:
        lines = source.read().splitlines()
    written = ["\n".join([quoted("msgid", ""), quoted("msgstr", HEADER)])]
    for comments, fields in entries(lines):
        msgid = fields.get("msgid", "")
        if not msgid:
            continue  # the template's header: ours is above
        out = list(comments)
        if "msgctxt" in fields:
            out.append(quoted("msgctxt", fields["msgctxt"]))
        out.append(quoted("msgid", msgid))
        if "msgid_plural" in fields:
            out.append(quoted("msgid_plural", fields["msgid_plural"]))
            out.append(quoted("msgstr[0]", pseudo(msgid)))
            out.append(quoted("msgstr[1]", pseudo(fields["msgid_plural"])))
        else:
            out.append(quoted("msgstr", pseudo(msgid)))
        written.append("\n".join(out))
    with open(output, "w", encoding="utf-8") as target:
        target.write("\n\n".join(written) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1].strip())
    main(sys.argv[1], sys.argv[2])
