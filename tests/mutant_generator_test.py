"""The mutation survey's generator (tools/mutant_generator.py) on small
sources: what each class yields, what is never mutated, and names that stay
the same when only the layout changes."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tools"))
import mutant_generator  # noqa: E402

TYPES = mutant_generator.type_names(["typedef unsigned int UINT32;\n"
                                     "typedef struct { int a; } RECORD;\n"
                                     "template <typename T> struct Box;\n"
                                     "#define EFIAPI __attribute__((ms_abi))\n"])
ERRORS = ["EFI_NOT_FOUND", "EFI_TIMEOUT"]


def mutants(body, wrap=True):
    text = f"UINT32 F(UINT32 a, UINT32 b, UINT32 *p) {{\n{body}\n}}\n" \
        if wrap else body
    return [(m.kind, m.name.split(":")[3], m.replacement,
             mutant_generator.apply(text, m))
            for m in mutant_generator.generate("f.cpp", text, TYPES, ERRORS)]


def changes(body, wrap=True):
    return [(original, replacement)
            for _, original, replacement, _ in mutants(body, wrap)]


class ClassesTest(unittest.TestCase):
    CASES = [
        ("relational <", "  return a < b;", [("<", "<="), ("<", ">=")]),
        ("relational <=", "  return a <= b;", [("<=", "<"), ("<=", ">")]),
        ("relational >", "  return a > b;", [(">", ">="), (">", "<=")]),
        ("relational >=", "  return a >= b;", [(">=", ">"), (">=", "<")]),
        ("relational ==", "  return a == b;", [("==", "!=")]),
        ("relational !=", "  return a != b;", [("!=", "==")]),
        ("arithmetic", "  return a + b - a * b / a % b;",
         [("+", "-"), ("-", "+"), ("*", "/"), ("/", "*"), ("%", "/")]),
        ("bitwise", "  return a & b | a ^ b;",
         [("&", "|"), ("&", "^"), ("|", "&"), ("|", "^"), ("^", "|"),
          ("^", "&")]),
        ("shifts", "  return (a << b) >> a;", [("<<", ">>"), (">>", "<<")]),
        ("complement dropped", "  return ~a;", [("~", "")]),
        ("logical", "  return a && b || a;", [("&&", "||"), ("||", "&&")]),
        ("negation dropped", "  return !a;", [("!", "")]),
        ("decimal", "  return 10;", [("10", "11"), ("10", "9")]),
        ("hex keeps width, case and suffix", "  return 0x0FU;",
         [("0x0FU", "0x10U"), ("0x0FU", "0x0EU")]),
        ("zero not below zero", "  return 0;", [("0", "1")]),
        ("booleans", "  return true && FALSE;",
         [("true", "false"), ("&&", "||"), ("FALSE", "TRUE")]),
        ("success", "  return EFI_SUCCESS;",
         [("EFI_SUCCESS", "EFI_NOT_FOUND"),
          ("EFI_SUCCESS", "EFI_WARN_UNKNOWN_GLYPH")]),
        ("errors among each other", "  return EFI_TIMEOUT;",
         [("EFI_TIMEOUT", "EFI_SUCCESS"), ("EFI_TIMEOUT", "EFI_NOT_FOUND")]),
        ("compound assignment", "  a += b;\n  a |= b;\n  return a;",
         [("a+=b;", ""), ("+=", "-="), ("a|=b;", ""), ("|=", "&=")]),
    ]

    def test_each_class_yields_its_replacements(self):
        for label, body, expected in self.CASES:
            with self.subTest(label):
                self.assertEqual(changes(body), expected)

    def test_a_mutant_replaces_its_token_only(self):
        self.assertEqual(
            [text for _, _, _, text in mutants("  return a<=b;")],
            [f"UINT32 F(UINT32 a, UINT32 b, UINT32 *p) {{\n  return a{op}b;\n}}\n"
             for op in ("<", ">")])


class StatementsTest(unittest.TestCase):
    CASES = [
        ("a call", "  G(a);\n  return a;", [("G(a);", "")]),
        ("an assignment through a pointer", "  *p = a;\n  return a;",
         [("*p=a;", "")]),
        ("an early return", "  if (a) {\n    return b;\n  }\n  return a;",
         [("return b;", "")]),
        ("the last return stays", "  return a;", []),
        ("declarations stay", "  UINT32 c = a;\n  RECORD *r = 0;\n  return c;",
         [("0", "1")]),
        ("void casts stay", "  (void)a;\n  return a;", []),
        ("for headers are no statements",
         "  for (UINT32 i = 0; i < a; ++i) {\n    G(i);\n  }\n  return a;",
         [("0", "1"), ("<", "<="), ("<", ">="), ("G(i);", "")]),
    ]

    def test_deletions(self):
        for label, body, expected in self.CASES:
            with self.subTest(label):
                self.assertEqual(changes(body), expected)


class NeverMutatedTest(unittest.TestCase):
    CASES = [
        ("comments", "  // a < b + 1\n  /* a == 2 */\n  return a;"),
        ("strings and characters",
         '  G("a < b + 1", \'+\');\n  return a;'),
        ("preprocessor lines",
         "#include \"x.h\"\n#define N (1 + \\\n  2)\n  return a;"),
        ("template arguments of casts",
         "  return static_cast<UINT32>(reinterpret_cast<RECORD *>(p)->a);"),
        ("template arguments of types", "  Box<UINT32 *> *b = nullptr;\n"
         "  return G(b);"),
        ("declarators", "  RECORD *r = nullptr;\n  const RECORD &s = *r;"
         "\n  return s.a;"),
        ("member access", "  return p->a;"),
        ("address-of and dereference", "  G(&a);\n  return *p;"),
    ]

    def test_nothing_but_the_deleted_call_changes(self):
        for label, body in self.CASES:
            with self.subTest(label):
                self.assertEqual(
                    [kind for kind, *_ in mutants(body)
                     if kind != "statement"], [])

    def test_static_asserts_and_operator_names(self):
        text = ("static_assert(sizeof(UINT32) == 4);\n"
                "bool operator<(RECORD a, RECORD b);\n")
        self.assertEqual(changes(text, wrap=False), [])


class NamesTest(unittest.TestCase):
    SOURCE = """// The limits.
constexpr UINT32 kLimit = 7;
enum Kind : UINT32 { KindA = 0, KindB = 4 };
constexpr RECORD kTable[] = {{1, 2}, {3, 1}};
UINT32 EFIAPI Check(UINT32 a, UINT32 *p) {
  if (a < kLimit) {
    *p = a < 2;
  }
  return a;
}
"""
    REFORMATTED = """constexpr UINT32
    kLimit = 7;  // changed comment
enum Kind : UINT32 {
  KindA = 0,
  KindB = 4,
};
constexpr RECORD kTable[] = {
    {1, 2},
    {3, 1},
};

UINT32 EFIAPI Check(UINT32 a,
                    UINT32 *p)
{
  if (a < kLimit)
  {
    *p = a<2;
  }
  return a;
}
"""

    def names(self, text):
        return [m.name for m in mutant_generator.generate(
            "src/f.cpp", text, TYPES, ERRORS)]

    def test_names_say_file_context_class_change_and_occurrence(self):
        names = self.names(self.SOURCE)
        for expected in ["src/f.cpp:kLimit:constant:7:8:1",
                         "src/f.cpp:KindB:constant:4:3:1",
                         "src/f.cpp:kTable[1][0]:constant:3:4:1",
                         "src/f.cpp:kTable[1][1]:constant:1:2:1",
                         "src/f.cpp:Check:relational:<:<=:1",
                         "src/f.cpp:Check:relational:<:<=:2",
                         "src/f.cpp:Check:statement:*p=a<2;::1"]:
            with self.subTest(expected):
                self.assertIn(expected, names)
        self.assertEqual(len(names), len(set(names)))

    def test_names_do_not_change_with_the_layout(self):
        self.assertEqual(self.names(self.REFORMATTED),
                         self.names(self.SOURCE))

    def test_unreadable_text_is_named(self):
        with self.assertRaisesRegex(mutant_generator.SourceError,
                                    "line 2: cannot read '@"):
            mutant_generator.tokenize("int a;\n@ b;\n")


if __name__ == "__main__":
    unittest.main()
