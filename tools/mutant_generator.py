"""Mutants of C++ source text, generated from operator classes.

A mutant changes one token (or deletes one statement) of a source file. Its
name is made of the file, the enclosing function (outside functions, the
name the declaration declares), the operator class, the original and the
replacement text and the occurrence of that change within the function, so
it survives reformatting and edits elsewhere in the file:

    gpio/sideband.cpp:IsOpcodeAccepted:relational:<=:<:1

Comments, string and character literals, preprocessor lines, template
arguments (of casts and of the type names the sources declare),
static_assert conditions and operator names are never mutated; `*`, `&` and `&&` after a type name declare, so they are left too.
"""

import re
from collections import namedtuple

Token = namedtuple("Token", "kind text start end")
Mutant = namedtuple("Mutant", "name file kind start end replacement")

CLASSES = ("relational", "arithmetic", "bitwise", "logical", "constant",
           "statement", "status")

RELATIONAL = {"<": ["<=", ">="], "<=": ["<", ">"], ">": [">=", "<="],
              ">=": [">", "<"], "==": ["!="], "!=": ["=="]}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "%": ["/"],
              "+=": ["-="], "-=": ["+="], "*=": ["/="], "/=": ["*="]}
BITWISE = {"&": ["|", "^"], "|": ["&", "^"], "^": ["|", "&"],
           "<<": [">>"], ">>": ["<<"], "&=": ["|="], "|=": ["&="],
           "^=": ["|="], "<<=": [">>="], ">>=": ["<<="]}
LOGICAL = {"&&": ["||"], "||": ["&&"]}
BOOLEANS = {"true": "false", "false": "true", "TRUE": "FALSE",
            "FALSE": "TRUE"}
# An error becomes success and each other error the driver returns; success
# becomes the error a missing service gives, and a warning (not an error,
# yet not success).
SUCCESS = "EFI_SUCCESS"
SUCCESS_REPLACEMENTS = ["EFI_NOT_FOUND", "EFI_WARN_UNKNOWN_GLYPH"]

PUNCTUATORS = sorted(
    "<=> >>= <<= ... ->* -> ++ -- << >> <= >= == != && || += -= *= /= %= &= "
    "|= ^= :: ## { } [ ] ( ) ; : ? , . + - * / % ^ & | ~ ! = < > #".split(),
    key=len, reverse=True)
TOKEN_PATTERN = re.compile(r"""
    (?P<space>\s+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>(?:u8|[uUL])?"(?:\\.|[^"\\\n])*")
  | (?P<char>(?:u8|[uUL])?'(?:\\.|[^'\\\n])*')
  | (?P<number>(?:0[xX][0-9a-fA-F']+|[0-9][0-9']*)(?:\.[0-9]*)?[uUlLfF]*)
  | (?P<ident>[A-Za-z_][A-Za-z_0-9]*)
  | (?P<punct>""" + "|".join(re.escape(p) for p in PUNCTUATORS) + ")",
                           re.VERBOSE | re.DOTALL)
PREPROCESSOR_LINE = re.compile(r"^[ \t]*#(?:[^\n\\]|\\.)*", re.MULTILINE | re.DOTALL)

# Words after which `<` opens template arguments; a type name is one too.
TEMPLATE_OPENERS = {"static_cast", "reinterpret_cast", "const_cast",
                    "dynamic_cast", "template"}
KEYWORDS = {"return", "if", "else", "for", "while", "do", "switch", "case",
            "break", "continue", "goto", "default", "sizeof", "new",
            "delete", "throw", "namespace", "using", "typedef", "operator",
            "static_assert", "true", "false", "nullptr", "this"}
DECLARATION_WORDS = {"const", "constexpr", "static", "inline", "extern",
                     "volatile", "struct", "class", "union", "enum",
                     "typedef", "using", "auto", "unsigned", "signed",
                     "register", "thread_local", "mutable"}
BUILTIN_TYPES = {"void", "bool", "char", "short", "int", "long", "float",
                 "double", "unsigned", "signed", "auto", "size_t"}
TYPE_NAME_PATTERNS = [
    re.compile(r"\btypedef\b[^;{]*?\b(\w+)\s*(?:\[[^\]]*\])?\s*;"),
    re.compile(r"\(\s*(?:\w+\s+)?\*\s*(\w+)\s*\)\s*\("),
    re.compile(r"\b(?:struct|class|union|enum)\s+(?:__attribute__\s*\(\(.*?\)\)\s*)?(\w+)"),
    re.compile(r"\busing\s+(\w+)\s*="),
    re.compile(r"\btypedef\s+(?:struct|union|enum)\s*\{[^}]*\}\s*(\w+)\s*;"),
    # Calling conventions and other attributes behind a macro.
    re.compile(r"^\s*#\s*define\s+(\w+)[ \t]*(?:__attribute__\b.*)?$", re.MULTILINE),
]


class SourceError(Exception):
    pass


def tokenize(text):
    """The tokens of a C++ source, without comments, whitespace and
    preprocessor lines (continued lines included)."""
    blanked = PREPROCESSOR_LINE.sub(lambda m: " " * len(m.group()), text)
    tokens, position = [], 0
    while position < len(blanked):
        match = TOKEN_PATTERN.match(blanked, position)
        if not match:
            line = text.count("\n", 0, position) + 1
            raise SourceError(f"line {line}: cannot read "
                              f"{text[position:position + 20]!r}")
        kind = match.lastgroup
        if kind not in ("space", "comment"):
            tokens.append(Token(kind, match.group(), position, match.end()))
        position = match.end()
    return tokens


def type_names(texts):
    """The type names the sources declare, and the builtin ones."""
    names = set(BUILTIN_TYPES)
    for text in texts:
        text = re.sub(r"//[^\n]*|/\*.*?\*/", " ", text, flags=re.DOTALL)
        for pattern in TYPE_NAME_PATTERNS:
            names.update(pattern.findall(text))
    return names


def error_statuses(uefi_header_text, texts):
    """The EFI_STATUS errors the header defines that the sources use."""
    defined = re.findall(r"#define\s+(EFI_\w+)\s+\(\(EFI_STATUS\)\(EFI_ERROR_BIT",
                         uefi_header_text)
    used = set(re.findall(r"\bEFI_\w+", "\n".join(texts)))
    return [name for name in defined if name in used]


class _Scanner:
    """Walks the tokens once, keeping the scopes, and reports each mutant."""

    def __init__(self, file, tokens, types, errors):
        self.file, self.tokens, self.types = file, tokens, types
        self.errors = errors
        self.skip = [False] * len(tokens)
        self.mutants = []
        self.counts = {}

    def run(self):
        tokens = self.tokens
        self._mark_skipped()
        # [kind, function name, parentheses open at the brace, element]
        scopes = []
        statement_start = 0
        declared = None
        paren = 0
        for i, token in enumerate(tokens):
            text = token.text
            function = next((scope[1] for scope in reversed(scopes)
                             if scope[0] == "function"), None)
            inner = scopes[-1][0] if scopes else "namespace"
            if text == "{":
                kind, name = self._brace_kind(i, scopes, statement_start)
                scopes.append([kind, name, paren, 0])
                if kind != "init":
                    statement_start, declared = i + 1, None
                continue
            if text == "}":
                if scopes:
                    scopes.pop()
                if inner in ("function", "block", "namespace", "class",
                             "enum"):
                    statement_start, declared = i + 1, None
                continue
            if text == "(":
                paren += 1
            elif text == ")":
                paren -= 1
            elif text == ";" and paren == 0:
                statement_start, declared = i + 1, None
                continue
            elif text == "," and inner == "enum":
                declared = None
                continue
            elif text == "," and inner == "init" and paren == scopes[-1][2]:
                scopes[-1][3] += 1
                continue
            if function is None:
                if declared is None:
                    declared = self._declared_name(
                        i if inner == "enum" else statement_start) or "file"
                # An element of an initializer list by its position, so a
                # table's entries are told apart.
                context = declared + "".join(
                    f"[{scope[3]}]" for scope in scopes if scope[0] == "init")
            else:
                context = function
            if inner in ("function", "block") and i == statement_start \
                    and paren == 0:
                self._statement(i, context, scopes)
            if not self.skip[i]:
                self._token(i, context)
        return self.mutants

    def _mark_skipped(self):
        tokens = self.tokens
        for i, token in enumerate(tokens):
            if (token.text in TEMPLATE_OPENERS or token.text in self.types) \
                    and i + 1 < len(tokens) and tokens[i + 1].text == "<":
                depth, j = 0, i + 1
                while j < len(tokens):
                    self.skip[j] = True
                    depth += {"<": 1, ">": -1, ">>": -2}.get(tokens[j].text, 0)
                    if depth <= 0:
                        break
                    j += 1
            elif token.text in ("static_assert", "__attribute__",
                                "offsetof", "alignas", "decltype"):
                self._skip_parenthesised(i + 1)
            elif token.text == "operator" and i + 1 < len(tokens):
                self.skip[i + 1] = True
                if tokens[i + 1].text in ("(", "["):
                    self.skip[i + 2] = True

    def _skip_parenthesised(self, i):
        depth = 0
        for j in range(i, len(self.tokens)):
            self.skip[j] = True
            depth += {"(": 1, ")": -1}.get(self.tokens[j].text, 0)
            if depth == 0:
                return

    def _brace_kind(self, i, scopes, statement_start):
        tokens = self.tokens
        inner = scopes[-1][0] if scopes else "namespace"
        previous = tokens[i - 1].text if i else ""
        statement = [t.text for t in tokens[statement_start:i]]
        if inner in ("function", "block"):
            if previous in (")", "else", "do", ";", "{", "}") \
                    or i == statement_start:
                return "block", None
            return "init", None
        if inner == "init" or previous in ("=", ",", "(", "return"):
            return "init", None
        if previous == ")" or previous in ("const", "noexcept", "override"):
            name = self._function_name(i)
            if name:
                return "function", name
        if "namespace" in statement or previous == '"C"':
            return "namespace", None
        if "enum" in statement:
            return "enum", None
        if statement and statement[0] in ("struct", "class", "union"):
            return "class", None
        return "init", None

    def _function_name(self, brace):
        tokens = self.tokens
        j = brace - 1
        while tokens[j].text != ")":
            j -= 1
        depth = 0
        while j >= 0:
            depth += {")": 1, "(": -1}.get(tokens[j].text, 0)
            if depth == 0:
                break
            j -= 1
        if j > 0 and tokens[j - 1].kind == "ident" \
                and tokens[j - 1].text not in KEYWORDS:
            return tokens[j - 1].text
        return None

    def _declared_name(self, start):
        """The name a declaration outside functions declares (an enumerator
        in an enumeration): the last identifier before its first `=`, `(`,
        `[`, `{`, `:`, `,` or `;`."""
        name = None
        for token, skipped in zip(self.tokens[start:], self.skip[start:]):
            if skipped:
                continue
            if token.text in ("=", "(", "[", "{", ":", ",", ";", "}"):
                break
            if token.kind == "ident":
                name = token.text
        return name

    def _is_binary(self, i):
        """Whether the operator at i has a left operand (rather than being
        unary or, after a type name, a declarator)."""
        if i == 0:
            return False
        before = self.tokens[i - 1]
        if before.kind in ("number", "string", "char"):
            return True
        if before.kind == "ident":
            if before.text in KEYWORDS:
                return before.text in ("true", "false", "nullptr", "this")
            if self.tokens[i].text in ("*", "&", "&&") and (
                    before.text in self.types or before.text in
                    DECLARATION_WORDS):
                return False
            return True
        return before.text in (")", "]")

    def _add(self, i, end_index, kind, original, replacement, context,
             start=None):
        key = (context, kind, original, replacement)
        self.counts[key] = self.counts.get(key, 0) + 1
        name = f"{self.file}:{context}:{kind}:{original}:{replacement}:" \
               f"{self.counts[key]}"
        first = self.tokens[i].start if start is None else start
        self.mutants.append(Mutant(name, self.file, kind, first,
                                   self.tokens[end_index].end, replacement))

    def _token(self, i, context):
        token = self.tokens[i]
        text = token.text
        if token.kind == "punct":
            binary = self._is_binary(i)
            for kind, table in (("relational", RELATIONAL),
                                ("arithmetic", ARITHMETIC),
                                ("bitwise", BITWISE), ("logical", LOGICAL)):
                if text in table and binary:
                    for replacement in table[text]:
                        self._add(i, i, kind, text, replacement, context)
            if text == "~" and not binary:
                self._add(i, i, "bitwise", "~", "", context)
            if text == "!" and not binary:
                self._add(i, i, "logical", "!", "", context)
        elif token.kind == "number":
            for replacement in _neighbours(text):
                self._add(i, i, "constant", text, replacement, context)
        elif token.kind == "ident":
            if text in BOOLEANS:
                self._add(i, i, "constant", text, BOOLEANS[text], context)
            elif text == SUCCESS:
                for replacement in SUCCESS_REPLACEMENTS:
                    self._add(i, i, "status", text, replacement, context)
            elif text in self.errors:
                for replacement in [SUCCESS] + [e for e in self.errors
                                                if e != text]:
                    self._add(i, i, "status", text, replacement, context)

    def _statement(self, i, context, scopes):
        """Deletes a return, or an expression statement (a call, an
        assignment, an increment) whose deletion still compiles."""
        tokens = self.tokens
        first = tokens[i]
        if first.text == "return":
            pass
        elif first.kind == "ident":
            if first.text in KEYWORDS or first.text in DECLARATION_WORDS \
                    or first.text in self.types:
                return
            if i + 1 < len(tokens) and tokens[i + 1].kind == "ident":
                return
        elif first.text not in ("*", "++", "--"):
            return
        depth, j = 0, i
        while j < len(tokens):
            text = tokens[j].text
            depth += {"(": 1, ")": -1, "{": 1, "}": -1, "[": 1,
                      "]": -1}.get(text, 0)
            if depth < 0:
                return
            if text == ";" and depth == 0:
                break
            j += 1
        if first.text == "return" and j + 1 < len(tokens) \
                and tokens[j + 1].text == "}" and scopes[-1][0] == "function" \
                and j > i + 1:
            return  # the function's last return: without it, no value
        original = _joined(tokens[i:j + 1])
        self._add(j, j, "statement", original, "", context,
                  start=first.start)


def _joined(tokens, limit=30):
    text = ""
    for token in tokens:
        if text and token.kind == "ident" and text[-1].isalnum():
            text += " "
        text += token.text
    return text if len(text) <= limit else text[:limit - 3] + "..."


def _neighbours(literal):
    """The literal plus one and minus one (not below zero), in its own base,
    width and suffix."""
    match = re.fullmatch(r"(0[xX])?([0-9a-fA-F']+)([uUlL]*)", literal)
    if not match or "'" in literal:
        return []
    prefix, digits, suffix = match.groups()
    if prefix:
        value, base = int(digits, 16), 16
    elif len(digits) > 1 and digits.startswith("0"):
        value, base = int(digits, 8), 8
    else:
        value, base = int(digits), 10
    result = []
    for changed in (value + 1, value - 1):
        if changed < 0:
            continue
        if base == 16:
            upper = digits.isupper() or not any(c.isalpha() for c in digits)
            text = f"{changed:0{len(digits)}X}" if upper \
                else f"{changed:0{len(digits)}x}"
            result.append(prefix + text + suffix)
        elif base == 8:
            result.append(f"0{changed:o}{suffix}")
        else:
            result.append(f"{changed}{suffix}")
    return result


def generate(file, text, types, errors):
    """The mutants of one source text, in source order; file names them.
    types are the type names it may use, errors the error statuses that
    replace each other."""
    return _Scanner(file, tokenize(text), types, errors).run()


def apply(text, mutant):
    return text[:mutant.start] + mutant.replacement + text[mutant.end:]
