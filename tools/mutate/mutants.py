"""Mutant generation for the driver sources: a small C++ lexer, a statement walk
that finds the code inside function bodies, and the mutation kinds.

Only code inside function bodies is mutated. Comments, string literals,
preprocessor lines, namespace-scope declarations (constant tables, layouts,
static_assert) and local declarations without an initializer are skipped; a
local declaration's initializer is mutated like any other expression but the
declaration itself is never deleted.
"""

import dataclasses
import random
import re

# Statuses a mutant may swap: a success becomes a failure, a failure success,
# and a failure another failure, so both "did it fail?" and "how?" are probed.
STATUSES = {
    "EFI_SUCCESS", "EFI_LOAD_ERROR", "EFI_INVALID_PARAMETER", "EFI_UNSUPPORTED",
    "EFI_BAD_BUFFER_SIZE", "EFI_BUFFER_TOO_SMALL", "EFI_NOT_READY", "EFI_DEVICE_ERROR",
    "EFI_WRITE_PROTECTED", "EFI_OUT_OF_RESOURCES", "EFI_VOLUME_CORRUPTED", "EFI_VOLUME_FULL",
    "EFI_NO_MEDIA", "EFI_MEDIA_CHANGED", "EFI_NOT_FOUND", "EFI_ACCESS_DENIED",
    "EFI_NO_RESPONSE", "EFI_NO_MAPPING", "EFI_TIMEOUT", "EFI_NOT_STARTED",
    "EFI_ALREADY_STARTED", "EFI_ABORTED", "EFI_SECURITY_VIOLATION",
}

RELATIONAL = {"==": "!=", "!=": "==", "<": ">=", "<=": ">", ">": "<=", ">=": "<"}
LOGICAL = {"&&": "||", "||": "&&"}
ARITHMETIC = {"+": "-", "-": "+", "+=": "-=", "-=": "+=", "++": "--", "--": "++"}
MASK = {"&": "|", "|": "&", "<<": ">>", ">>": "<<", "&=": "|=", "|=": "&="}
ASSIGNMENTS = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}

# Kinds, as the report names them.
KINDS = ("relational", "logical", "arithmetic", "constant", "delete", "negate", "status",
         "mask")

_OPERATORS = sorted(
    """<<= >>= ... -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= :: ##
    { } [ ] ( ) ; : , . ? ~ ! + - * / % & | ^ = < > #""".split(),
    key=len, reverse=True)
_NUMBER = re.compile(r"(0[xX][0-9a-fA-F']+|\d[\d']*)([uUlL]*)(?![\w.])")
_IDENT = re.compile(r"[A-Za-z_]\w*")
_DECL_SKIP = {"static_assert", "using", "typedef", "constexpr", "static", "struct", "enum",
              "class", "union", "namespace", "template", "friend"}
_DECL_START = {"const", "auto", "unsigned", "signed", "volatile", "constinit"}
_STATEMENT_KEYWORDS = {"if", "while", "for", "switch", "do", "else", "return", "break",
                       "continue", "goto", "case", "default"}
_TEMPLATE_OPENERS = {"static_cast", "reinterpret_cast", "const_cast", "dynamic_cast",
                     "bit_cast", "is_same_v", "integral_constant"}


@dataclasses.dataclass
class Token:
    kind: str  # "ident", "number", "string", "op"
    text: str
    start: int
    end: int
    line: int


@dataclasses.dataclass
class Mutant:
    file: str
    line: int
    start: int
    end: int
    replacement: str
    kind: str
    original: str  # the text replaced
    source_line: str  # the first source line, stripped

    @property
    def description(self):
        if self.kind == "delete":
            return "delete statement"
        if self.kind == "negate":
            return "negate condition"
        return f"{self.original} -> {self.replacement}"

    @property
    def key(self):
        """What identifies a mutant across edits elsewhere in the file."""
        return (self.file, " ".join(self.source_line.split()), self.description)

    def apply(self, text):
        return text[:self.start] + self.replacement + text[self.end:]


def tokenize(text):
    """C++ tokens with offsets; comments, preprocessor lines and whitespace dropped."""
    tokens = []
    i, line, n = 0, 1, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if c == "#" and at_line_start:
            # A preprocessor line, with its continuations.
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    line += 1
                    i += 1
                i += 1
            continue
        at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
            continue
        m = re.compile(r'(u8|u|U|L)?(["\'])').match(text, i)
        if m:
            quote = m.group(2)
            j = m.end()
            while j < n and text[j] != quote:
                j += 2 if text[j] == "\\" else 1
            tokens.append(Token("string", text[i:j + 1], i, j + 1, line))
            i = j + 1
            continue
        m = _NUMBER.match(text, i)
        if m and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            tokens.append(Token("number", m.group(0), i, m.end(), line))
            i = m.end()
            continue
        m = _IDENT.match(text, i)
        if m:
            tokens.append(Token("ident", m.group(0), i, m.end(), line))
            i = m.end()
            continue
        for op in _OPERATORS:
            if text.startswith(op, i):
                tokens.append(Token("op", op, i, i + len(op), line))
                i += len(op)
                break
        else:
            i += 1
    return tokens


def _match(tokens, i, open_, close):
    """Index of the token closing tokens[i] (an opening bracket)."""
    depth = 0
    for j in range(i, len(tokens)):
        if tokens[j].text == open_:
            depth += 1
        elif tokens[j].text == close:
            depth -= 1
            if depth == 0:
                return j
    return len(tokens) - 1


def _template_brackets(tokens):
    """Indexes of '<' and '>' that are template brackets, not comparisons."""
    marked = set()
    for i, t in enumerate(tokens):
        if t.text == "<" and i > 0 and tokens[i - 1].kind == "ident" and \
                tokens[i - 1].text not in _TEMPLATE_OPENERS:
            # Name<...> followed by a name, '(' or '::' is a template, as in a declaration
            # `FixedRecord<8> Record;`; a comparison never closes like that.
            depth = 0
            for j in range(i, len(tokens)):
                x = tokens[j].text
                if x in (";", "{", "}", "&&", "||", "?", "="):
                    break
                if x == "<":
                    depth += 1
                elif x == ">":
                    depth -= 1
                    if depth == 0:
                        after = tokens[j + 1] if j + 1 < len(tokens) else None
                        if after is not None and (after.kind == "ident" or
                                                  after.text in ("(", "::")):
                            marked.update(k for k in range(i, j + 1)
                                          if tokens[k].text in ("<", ">"))
                        break
            continue
        if t.text == "<" and i > 0 and tokens[i - 1].text in _TEMPLATE_OPENERS:
            depth = 0
            for j in range(i, len(tokens)):
                if tokens[j].text == "<":
                    depth += 1
                elif tokens[j].text in (">", ">>"):
                    depth -= 1 if tokens[j].text == ">" else 2
                if tokens[j].text in ("<", ">", ">>"):
                    marked.add(j)
                if depth <= 0 or tokens[j].text in (";", "{"):
                    break
    return marked


def _operand_before(tokens, i):
    """Whether tokens[i] follows an operand, so an operator there is binary."""
    if i == 0:
        return False
    p = tokens[i - 1]
    return p.kind in ("ident", "number", "string") and p.text not in _STATEMENT_KEYWORDS \
        or p.text in (")", "]")


class _Generator:

    def __init__(self, path, text):
        self.path = path
        self.text = text
        self.lines = text.split("\n")
        self.tokens = tokenize(text)
        self.templates = _template_brackets(self.tokens)
        self.mutants = []

    def add(self, kind, start, end, replacement, line):
        self.mutants.append(
            Mutant(self.path, line, start, end, replacement, kind, self.text[start:end],
                   self.lines[line - 1].strip()))

    # -- declarations at namespace or class scope ------------------------------------------

    def run(self):
        self.scope(0, len(self.tokens))
        self.mutants.sort(key=lambda m: (m.start, m.kind, m.replacement))
        return self.mutants

    def scope(self, i, end):
        """Namespace or class scope: only function bodies hold code."""
        toks = self.tokens
        while i < end:
            t = toks[i]
            if t.text == "{":
                close = _match(toks, i, "{", "}")
                prev = toks[i - 1].text if i > 0 else ""
                head = self._head(i)
                if prev in ("=", ",", "(", "{", "return"):
                    pass  # an initializer: data
                elif head & {"namespace", "struct", "class", "union", "extern"}:
                    self.scope(i + 1, close)
                elif "enum" in head:
                    pass
                elif prev == ")" or prev in ("const", "noexcept", "override"):
                    self.block(i + 1, close)
                i = close + 1
            else:
                i += 1

    def _head(self, i):
        """Identifiers of the declaration that a brace at tokens[i] opens."""
        words = set()
        j = i - 1
        while j >= 0 and toks_text(self.tokens, j) not in (";", "{", "}"):
            if self.tokens[j].kind == "ident":
                words.add(self.tokens[j].text)
            j -= 1
        return words

    # -- code ----------------------------------------------------------------------------

    def block(self, i, end):
        while i < end:
            i = self.statement(i, end)

    def statement(self, i, end):
        toks = self.tokens
        t = toks[i]
        if t.text == "{":
            close = _match(toks, i, "{", "}")
            self.block(i + 1, close)
            return close + 1
        if t.text == ";":
            return i + 1
        if t.text in ("if", "while", "switch"):
            j = i + 1
            if j < end and toks[j].text == "constexpr":
                j += 1
            close = _match(toks, j, "(", ")")
            self.expression(j + 1, close)
            if t.text != "switch":
                self.add("negate", toks[j + 1].start, toks[close - 1].end,
                         "!(" + self.text[toks[j + 1].start:toks[close - 1].end] + ")",
                         toks[j + 1].line)
            i = self.statement(close + 1, end)
            if t.text == "if" and i < end and toks[i].text == "else":
                i = self.statement(i + 1, end)
            return i
        if t.text == "for":
            close = _match(toks, i + 1, "(", ")")
            self.expression(i + 2, close)
            return self.statement(close + 1, end)
        if t.text == "do":
            i = self.statement(i + 1, end)
            close = _match(toks, i + 1, "(", ")")
            self.expression(i + 2, close)
            return close + 2
        if t.text in ("case", "default"):
            while i < end and toks[i].text != ":":
                i += 1
            return i + 1
        if t.text in ("break", "continue", "goto"):
            return self._end(i, end) + 1
        if t.text == "return":
            stop = self._end(i, end)
            self.expression(i + 1, stop)
            return stop + 1
        if t.kind == "ident" and i + 1 < end and toks[i + 1].text == ":" and \
                t.text not in ("public", "private"):
            return i + 2  # a label
        stop = self._end(i, end)
        self.simple(i, stop)
        return stop + 1

    def _end(self, i, end):
        """Index of the ';' ending the statement at i."""
        depth = 0
        toks = self.tokens
        while i < end:
            x = toks[i].text
            if x in ("(", "[", "{"):
                depth += 1
            elif x in (")", "]", "}"):
                depth -= 1
            elif x == ";" and depth == 0:
                return i
            i += 1
        return end

    def _is_declaration(self, i, stop):
        toks = self.tokens
        first = toks[i]
        if first.text in _DECL_SKIP or first.text in _DECL_START:
            return True
        if first.kind != "ident" or first.text in _STATEMENT_KEYWORDS:
            return False
        j = i + 1
        while j < stop and toks[j].text == "::" and j + 1 < stop:
            j += 2
        if j < stop and toks[j].text == "<" and j in self.templates:
            j = max(k for k in self.templates if k < stop) + 1
        while j < stop and toks[j].text in ("*", "&", "const"):
            j += 1
        return j < stop and toks[j].kind == "ident" and \
            (j + 1 >= stop or toks[j + 1].text in ("=", ";", "[", "{", "(", ","))

    def simple(self, i, stop):
        toks = self.tokens
        if i >= stop:
            return
        if self._is_declaration(i, stop):
            if toks[i].text in _DECL_SKIP:
                return
            for j in range(i, stop):
                if toks[j].text == "=":
                    self.expression(j + 1, stop)
                    break
            return
        self.expression(i, stop)
        acts = any(toks[j].text in ASSIGNMENTS or toks[j].text in ("++", "--") or
                   (toks[j].text == "(" and j > i and toks[j - 1].kind == "ident")
                   for j in range(i, stop))
        if acts and stop < len(toks):
            self.add("delete", toks[i].start, toks[stop].end, ";", toks[i].line)

    def expression(self, i, stop):
        toks = self.tokens
        j = i
        while j < stop:
            t = toks[j]
            x = t.text
            if t.kind == "ident" and x == "sizeof":
                j = _match(toks, j + 1, "(", ")") + 1 if j + 1 < stop and \
                    toks[j + 1].text == "(" else j + 1
                continue
            if x == "[" and j + 1 < stop and toks[j + 1].text == "]":
                j += 2  # a lambda introducer
                continue
            if x == "{":
                close = _match(toks, j, "{", "}")
                if j > 0 and toks[j - 1].text == ")":
                    self.block(j + 1, close)  # a lambda body
                else:
                    self.expression(j + 1, close)
                j = close + 1
                continue
            if j in self.templates:
                j += 1
                continue
            if t.kind == "number":
                self.constant(t)
            elif t.kind == "ident" and x in STATUSES:
                self.status(t)
            elif x in RELATIONAL:
                self.add("relational", t.start, t.end, RELATIONAL[x], t.line)
            elif x in LOGICAL:
                self.add("logical", t.start, t.end, LOGICAL[x], t.line)
            elif x in ("++", "--"):
                self.add("arithmetic", t.start, t.end, ARITHMETIC[x], t.line)
            elif x in ("+=", "-="):
                self.add("arithmetic", t.start, t.end, ARITHMETIC[x], t.line)
            elif x in ("+", "-") and _operand_before(toks, j):
                self.add("arithmetic", t.start, t.end, ARITHMETIC[x], t.line)
            elif x in ("&=", "|=", "<<", ">>"):
                self.add("mask", t.start, t.end, MASK[x], t.line)
            elif x in ("&", "|") and _operand_before(toks, j):
                self.add("mask", t.start, t.end, MASK[x], t.line)
            j += 1

    def constant(self, t):
        m = _NUMBER.fullmatch(t.text)
        digits, suffix = m.group(1).replace("'", ""), m.group(2)
        value = int(digits, 16) if digits[:2].lower() == "0x" else int(digits, 10)
        if digits.startswith("0") and len(digits) > 1 and digits[:2].lower() != "0x":
            return  # octal: none in this code
        hexa = digits[:2].lower() == "0x"
        for v in (value + 1, value - 1):
            if v < 0:
                continue
            text = (f"0x{v:X}" if hexa else str(v)) + suffix
            self.add("constant", t.start, t.end, text, t.line)

    def status(self, t):
        if t.text == "EFI_SUCCESS":
            swaps = ["EFI_DEVICE_ERROR"]
        else:
            swaps = ["EFI_SUCCESS",
                     "EFI_NOT_FOUND" if t.text == "EFI_DEVICE_ERROR" else "EFI_DEVICE_ERROR"]
        for s in swaps:
            self.add("status", t.start, t.end, s, t.line)


def toks_text(tokens, j):
    return tokens[j].text


def generate(path, text):
    """Every mutant of one source file, in source order."""
    return _Generator(path, text).run()


def sample(candidates_by_file, count, seed):
    """count mutants spread over the files by their size (bytes of source), drawn with a
    fixed seed. candidates_by_file: {path: (size, [Mutant])}. Returns mutants in file
    and line order."""
    rng = random.Random(seed)
    files = sorted(p for p, (_, ms) in candidates_by_file.items() if ms)
    total = sum(candidates_by_file[p][0] for p in files)
    count = min(count, sum(len(candidates_by_file[p][1]) for p in files))
    if not files or count <= 0:
        return []
    quota = {}
    remainders = []
    for p in files:
        share = count * candidates_by_file[p][0] / total
        quota[p] = min(int(share), len(candidates_by_file[p][1]))
        remainders.append((share - int(share), rng.random(), p))
    # Largest remainders first, then any file with mutants left, until count is reached.
    order = [p for _, _, p in sorted(remainders, reverse=True)]
    while sum(quota.values()) < count:
        for p in order:
            if sum(quota.values()) >= count:
                break
            if quota[p] < len(candidates_by_file[p][1]):
                quota[p] += 1
    chosen = []
    for p in files:
        chosen.extend(rng.sample(candidates_by_file[p][1], quota[p]))
    chosen.sort(key=lambda m: (m.file, m.start, m.kind, m.replacement))
    return chosen
