#!/usr/bin/env python3
"""The Japanese guide as the zip's README-ja.txt: plain text for Notepad,
made from the Markdown source the repository shows and the end-to-end test
runs the examples of.

  guide_text.py GUIDE.md VERSION  >  text (UTF-8, LF)   (VERSION: the text, e.g. 1.2.0)

No line is wider than 80 columns, a character a Japanese font draws wide
counting two (Unicode's wide, full-width and ambiguous classes: Shift_JIS
double-byte characters); no Markdown mark is left. Headings become plain
lines, tables aligned columns (or lists, where the columns do not fit),
paragraphs and list items are wrapped anew, and code blocks are indented,
their long lines folded. scripts/release.sh writes the text as Shift_JIS
with CR LF.
"""
import re
import sys
import unicodedata

WIDTH = 80
CODE_INDENT = "    "
FOLD_INDENT = "  "          # before the rest of a folded code line
TAB_STOP = 8                # Notepad's
# Not at the start of a line (closing marks, small kana, the long vowel)...
NO_BREAK_BEFORE = set("。、，．）」』】〉》］｝・ー…！？：；ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ"
                      ")]}>,.:;!?%")
# ...nor at the end of one.
NO_BREAK_AFTER = set("（「『【〈《［｛([{<")
JAPANESE_PUNCTUATION = set("。、，．（）「」『』【】・")


def char_width(c):
    return 2 if unicodedata.east_asian_width(c) in "WFA" else 1


def text_width(text):
    return sum(char_width(c) for c in text)


def is_wide(c):
    return char_width(c) == 2


def plain_inline(text):
    """A line of Markdown without its marks: code spans keep their text as
    it stands, links become their text, bold marks go."""
    parts = re.split(r"(`[^`]*`)", text)
    out = []
    for part in parts:
        if part.startswith("`") and part.endswith("`") and len(part) >= 2:
            out.append(part[1:-1])
            continue
        part = re.sub(r"!\[([^\]]*)\]\([^)]*\)", r"\1", part)
        part = re.sub(r"\[([^\]]*)\]\((https?://[^)]*)\)", r"\1 (\2)", part)
        part = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", part)
        part = part.replace("**", "").replace("\\|", "|")
        out.append(part)
    return "".join(out)


def joined(lines):
    """Source lines of one paragraph as one text: a line break stands for a
    blank, except between two wide characters and beside a Japanese
    punctuation mark."""
    text = ""
    for line in lines:
        line = line.strip()
        if not line:
            continue
        if text and not ((is_wide(text[-1]) and is_wide(line[0]))
                         or text[-1] in JAPANESE_PUNCTUATION or line[0] in JAPANESE_PUNCTUATION):
            text += " "
        text += line
    return text


def break_allowed(text, i):
    """Whether a line may end before text[i] (0 < i < len(text))."""
    before, after = text[i - 1], text[i]
    if after in NO_BREAK_BEFORE or before in NO_BREAK_AFTER:
        return False
    if before == " " or after == " ":
        # A number stays with the word it counts: "10 章", "127 バイト".
        blank = i if after == " " else i - 1
        return not (0 < blank < len(text) - 1 and "0" <= text[blank - 1] <= "9"
                    and is_wide(text[blank + 1]))
    return is_wide(before) or is_wide(after)


def wrap(text, width, first_prefix="", next_prefix=""):
    """Lines of at most width columns, each after its prefix; breaks fall at
    blanks or beside wide characters, and a run of narrow characters with
    no blank in it (a path, a URL) is split only when it alone overflows."""
    lines = []
    prefix = first_prefix
    while True:
        room = width - text_width(prefix)
        if text_width(text) <= room:
            lines.append(prefix + text)
            return lines
        used, fit = 0, 0
        while fit < len(text) and used + char_width(text[fit]) <= room:
            used += char_width(text[fit])
            fit += 1
        cut = next((i for i in range(fit, 0, -1) if break_allowed(text, i)), fit)
        lines.append((prefix + text[:cut]).rstrip())
        text = text[cut:].lstrip(" ")
        prefix = next_prefix
        if not text:
            return lines


def fold(line, width, indent):
    """A code line within width columns: tabs expanded, then cut where a
    run of blanks begins (anywhere, if none fits), the rest indented further."""
    expanded = ""
    for c in indent + line:
        expanded += " " * (TAB_STOP - text_width(expanded) % TAB_STOP) if c == "\t" else c
    lines = []
    while text_width(expanded) > width:
        used, fit = 0, 0
        while used + char_width(expanded[fit]) <= width:
            used += char_width(expanded[fit])
            fit += 1
        # At the start of the last run of blanks that fits, not inside
        # brackets just opened.
        start = len(indent) + len(FOLD_INDENT) + 1
        cut = next((i for i in range(fit, start, -1)
                    if expanded[i] == " " and expanded[i - 1] not in " ([（"), fit)
        lines.append(expanded[:cut].rstrip())
        expanded = indent + FOLD_INDENT + expanded[cut:].lstrip(" ")
    lines.append(expanded.rstrip())
    return lines


def table_cells(line):
    line = line.strip()
    if line.startswith("|"):
        line = line[1:]
    if line.endswith("|") and not line.endswith("\\|"):
        line = line[:-1]
    return [plain_inline(cell.strip()) for cell in re.split(r"(?<!\\)\|", line)]


def table_text(rows, width):
    """A table as aligned columns when every column but the last fits whole
    and the last keeps room to wrap in; otherwise as a list: one item a row,
    the row's other cells beneath it, named by their heading when there are
    several."""
    header, body = rows[0], rows[1:]
    columns = len(header)
    gap = "  "
    widths = [max(text_width(row[c]) for row in rows if c < len(row)) for c in range(columns - 1)]
    last_left = sum(widths) + len(gap) * (columns - 1)
    if width - last_left >= 24:
        out = []
        for index, row in enumerate(rows):
            row = row + [""] * (columns - len(row))
            lead = "".join(cell + " " * (widths[c] - text_width(cell)) + gap
                           for c, cell in enumerate(row[:-1]))
            out += wrap(row[-1], width, lead, " " * last_left) if row[-1] else [lead.rstrip()]
            if index == 0:
                rule_width = min(width, last_left + max(text_width(r[-1]) for r in rows))
                out.append("-" * rule_width)
        return out
    # Each item is named by the first column that tells the rows apart.
    head = next((c for c in range(columns)
                 if len({row[c] if c < len(row) else "" for row in body}) == len(body)), 0)
    out = []
    for row in body:
        row = row + [""] * (columns - len(row))
        out += wrap(row[head], width, "・", "  ")
        for c in range(columns):
            if c == head or not row[c]:
                continue
            named = f"{header[c]}: {row[c]}" if columns > 2 else row[c]
            out += wrap(named, width, "    ", "      " if columns > 2 else "    ")
    return out


LIST_ITEM = re.compile(r"^(\s*)([-*]|\d+\.)\s+(.*)$")


def guide_text(markdown, version):
    lines = markdown.replace("\r\n", "\n").split("\n")
    out = []
    i = 0

    def blank():
        if out and out[-1] != "":
            out.append("")

    while i < len(lines):
        line = lines[i]
        stripped = line.strip()
        if stripped.startswith("```"):
            info = stripped[3:]
            prompt = "C:\\作業> " if info.endswith("qv-example") else ""
            i += 1
            while i < len(lines) and not lines[i].strip().startswith("```"):
                code = lines[i]
                out += fold(prompt + code, WIDTH, CODE_INDENT) if code else [""]
                i += 1
            i += 1
            continue
        heading = re.match(r"^(#{1,6})\s+(.*)$", line)
        if heading:
            level, title = len(heading.group(1)), plain_inline(heading.group(2))
            blank()
            if level == 1:
                title = re.sub(r"^Quorvane", f"Quorvane {version}", title)
                out += [title, "=" * text_width(title), ""]
                out += wrap("（テキスト版の手引きです。80 桁を超える例の行は折り返し、続きを"
                            "字下げしてあります。）", WIDTH)
            elif level == 2:
                out += [f"【{title}】"]
            else:
                out += [f"■ {title}"]
            out.append("")
            i += 1
            continue
        if re.match(r"^!\[.*\]\(.*\)$", stripped):
            i += 1
            continue
        if stripped.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].strip().startswith("|"):
                if not re.match(r"^\|?\s*:?-+", lines[i].strip()):
                    rows.append(table_cells(lines[i]))
                i += 1
            blank()
            out += table_text(rows, WIDTH)
            out.append("")
            continue
        item = LIST_ITEM.match(line)
        if item:
            indent, mark, first = item.groups()
            depth = len(indent)
            i += 1
            body = [first]
            # The item goes on over lines indented past its mark.
            while (i < len(lines) and lines[i].strip() and not LIST_ITEM.match(lines[i])
                   and len(lines[i]) - len(lines[i].lstrip()) > depth
                   and not lines[i].strip().startswith("```")):
                body.append(lines[i])
                i += 1
            lead = " " * depth + ("・" if mark in "-*" else mark + " ")
            out += wrap(plain_inline(joined(body)), WIDTH, lead, " " * text_width(lead))
            continue
        if not stripped:
            blank()
            i += 1
            continue
        body = []
        while (i < len(lines) and lines[i].strip() and not LIST_ITEM.match(lines[i])
               and not re.match(r"^(#|\||```|!\[)", lines[i].strip())):
            body.append(lines[i])
            i += 1
        out += wrap(plain_inline(joined(body)), WIDTH)
    while out and out[-1] == "":
        out.pop()
    return "\n".join(out) + "\n"


def main():
    markdown = open(sys.argv[1], encoding="utf-8").read()
    version = sys.argv[2]
    sys.stdout.buffer.write(guide_text(markdown, version).encode("utf-8"))


if __name__ == "__main__":
    main()
