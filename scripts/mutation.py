#!/usr/bin/env python3
"""Mutation testing of the view model and the JSON reader.

Makes one-line mutants of the C++ sources under upgrade/ and json/, draws a
seeded sample of them and, for each, builds the `mutation` preset
incrementally and runs the test suite until its first failure. A mutant is
killed when a test fails or times out, survives when the whole suite passes,
and is "not built" when it does not compile.

The sample is written as JSON lines (file, line, original text, mutant text,
operator). `--replay` applies such a sample again after the sources changed:
each mutant is found by its original line's code (spaces and comments aside)
and its neighbours, in its file or wherever under the mutated folders it went;
one found nowhere is "gone" and left out of the score.

Every source is restored after each mutant, on Ctrl-C, and at the next start
should a run have been killed outright.
"""

import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FOLDERS = ("upgrade", "json")
SUFFIXES = (".cpp", ".h")
OUT = ROOT / "build" / "mutation"
BUILD = OUT / "build"
PRESET = "mutation"
# A copy of the source under mutation lives here while it is mutated, so a
# run killed outright is repaired by the next one.
PENDING = OUT / "pending-restore.json"

# ---- Reading C++ one line at a time -----------------------------------------

TOKEN = re.compile(
    r"""
    (?P<ws>\s+)
  | (?P<comment>//.*)
  | (?P<block>/\*)
  | (?P<raw>(?:u8|[uUL])?R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)")
  | (?P<str>(?:u8|[uUL])?"(?:\\.|[^"\\])*"?)
  | (?P<chr>(?:u8|[uUL])?'(?:\\.|[^'\\])*'?)
  | (?P<num>(?:0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*(?:\.\d*)?(?:[eE][+-]?\d+)?|\.\d+(?:[eE][+-]?\d+)?)[uUlLfF]*)
  | (?P<id>[A-Za-z_]\w*)
  | (?P<op><<=|>>=|->\*|\.\.\.|::|->|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%&|^]=|[^\s])
    """,
    re.VERBOSE,
)


class Tok:
    __slots__ = ("kind", "text", "start", "end")

    def __init__(self, kind, text, start, end):
        self.kind, self.text, self.start, self.end = kind, text, start, end

    def __repr__(self):
        return f"{self.kind}:{self.text}"


def tokenize(lines):
    """Code tokens of each line; comments are dropped, literals kept whole.

    Returns one (tokens, is_preprocessor) pair a line.
    """
    result = []
    in_block = False
    continued = False  # a preprocessor line ending in a backslash
    for text in lines:
        preprocessor = continued or text.lstrip().startswith("#")
        continued = preprocessor and text.rstrip().endswith("\\")
        toks = []
        pos = 0
        if in_block:
            end = text.find("*/")
            if end < 0:
                result.append((toks, preprocessor))
                continue
            pos, in_block = end + 2, False
        while pos < len(text):
            m = TOKEN.match(text, pos)
            kind = m.lastgroup if m.lastgroup != "delim" else "raw"
            if kind == "block":
                end = text.find("*/", m.end())
                if end < 0:
                    in_block = True
                    break
                pos = end + 2
                continue
            if kind == "comment":
                break
            if kind != "ws":
                toks.append(Tok(kind, m.group(), m.start(), m.end()))
            pos = m.end()
        result.append((toks, preprocessor))
    return result


TYPE_WORDS = {
    "void", "bool", "char", "short", "int", "long", "float", "double", "signed", "unsigned",
    "auto", "const", "constexpr", "volatile", "size_t", "ssize_t", "uchar", "uint", "ulong",
    "qint8", "qint16", "qint32", "qint64", "quint8", "quint16", "quint32", "quint64",
    "int8_t", "int16_t", "int32_t", "int64_t", "uint8_t", "uint16_t", "uint32_t", "uint64_t",
    "qsizetype", "intptr_t", "uintptr_t", "typename", "class", "struct",
}
KEYWORDS = {
    "return", "throw", "case", "if", "while", "for", "switch", "do", "else", "new", "delete",
    "sizeof", "alignof", "co_return", "goto", "operator", "and", "or", "not",
}
DECL_STARTS = {
    "using", "typedef", "namespace", "template", "friend", "enum", "struct", "class", "union",
    "extern", "static", "constexpr", "inline", "virtual", "explicit", "const", "thread_local",
    "static_assert", "public", "private", "protected", "mutable", "auto", "register",
}
LOG_WORDS = re.compile(r"^(?:q(?:C)?(?:Debug|Info|Warning|Critical|Fatal))$")
LOG_CALLS = {"debug", "info", "warning", "critical"}
ASSERTS = {"static_assert", "Q_ASSERT", "Q_ASSERT_X", "assert", "Q_STATIC_ASSERT"}


def is_value_end(tok):
    """Whether a token can end an operand, so an operator after it is binary."""
    if tok is None:
        return False
    if tok.kind in ("num", "str", "chr", "raw"):
        return True
    if tok.kind == "id":
        return tok.text not in KEYWORDS and tok.text not in TYPE_WORDS
    return tok.text in (")", "]")


def template_brackets(toks):
    """Indexes of the tokens from a template argument list's '<' to its '>'."""
    marked = set()
    allowed_words = {"id", "num"}
    allowed_ops = {"::", ",", "*", "&", "<", ">", ">>", "(", ")"}
    for i, t in enumerate(toks):
        if t.text != "<" or i == 0 or i in marked:
            continue
        before = toks[i - 1]
        if before.kind != "id" or before.text in KEYWORDS:
            continue
        depth, parens = 1, 0
        for j in range(i + 1, len(toks)):
            u = toks[j]
            if u.kind not in allowed_words and u.text not in allowed_ops:
                break
            parens += {"(": 1, ")": -1}.get(u.text, 0)
            if parens < 0:
                break
            if u.text == "<":
                depth += 1
            elif u.text == ">":
                depth -= 1
            elif u.text == ">>":
                depth -= 2
            if depth <= 0:
                marked.update(range(i, j + 1))
                break
    return marked


def matching_paren(toks, i):
    """Index of the ')' closing the '(' at i on the same line, or None."""
    depth = 0
    for j in range(i, len(toks)):
        if toks[j].text == "(":
            depth += 1
        elif toks[j].text == ")":
            depth -= 1
            if depth == 0:
                return j
    return None


def balanced(toks):
    depth = 0
    for t in toks:
        if t.text in "([{" and t.kind == "op":
            depth += 1
        elif t.text in ")]}" and t.kind == "op":
            depth -= 1
            if depth < 0:
                return False
    return depth == 0


def looks_like_declaration(toks):
    """`Type name ...;`, `Type* name = ...;`, `Foo<Bar> name;` and the like."""
    if toks[0].kind == "id" and toks[0].text in DECL_STARTS | TYPE_WORDS:
        return True
    if any(t.text in ("default", "delete") for t in toks[-3:]) and any(t.text == "=" for t in toks):
        return True
    # A type (names, '::', template arguments, '*', '&') followed by a name.
    depth = 0
    for i, t in enumerate(toks):
        if t.text == "<":
            depth += 1
        elif t.text == ">":
            depth -= 1
        elif t.text == ">>":
            depth -= 2
        elif depth > 0:
            continue
        elif t.kind == "id" and i > 0 and (toks[i - 1].kind == "id" or toks[i - 1].text in ("*", "&", ">", ">>", "&&")):
            prev_words = [u for u in toks[:i] if u.kind == "id"]
            if prev_words and prev_words[0].text in KEYWORDS:
                return False
            return True
        elif t.kind == "id" or t.text in ("::", "*", "&", "&&"):
            continue
        else:
            return False
    return False


def is_log_line(toks):
    if toks and toks[0].text == "<<":
        return True  # the next piece of a stream statement
    for i, t in enumerate(toks):
        if t.kind == "id" and LOG_WORDS.match(t.text):
            return True
        if (t.kind == "id" and t.text in LOG_CALLS and i > 0 and toks[i - 1].text in (".", "->")
                and i + 1 < len(toks) and toks[i + 1].text == "("):
            return True
    return False


class Context:
    """What the braces around a line are: code, a class, a namespace, an initializer."""

    def __init__(self, kind, returns_bool=False):
        self.kind = kind  # "code", "type", "namespace", "init"
        self.returns_bool = returns_bool


def brace_kind(pending, inside):
    """Kind of a '{' given the tokens since the last ';', '{' or '}'."""
    texts = [t.text for t in pending]
    prev = texts[-1] if texts else None
    trailing_bool = len(texts) >= 2 and texts[-2] == "->" and prev == "bool"
    if "namespace" in texts:
        return Context("namespace")
    if inside.kind == "code":
        # A lambda: '[' where no value ends before it.
        for i, t in enumerate(pending):
            if t.text == "[" and not is_value_end(pending[i - 1] if i else None):
                return Context("code", trailing_bool)
        if prev in (None, ")", "else", "do", "try", ":", "const", "noexcept"):
            return Context("code", inside.returns_bool)
        return Context("init")  # `Type name{...}`, `= {...}`, `return {...}`
    if prev in (")", "const", "override", "noexcept", "final") or trailing_bool:
        head = texts[:texts.index("(")] if "(" in texts else texts
        return Context("code", "bool" in head or trailing_bool)
    if any(t in ("class", "struct", "union", "enum") for t in texts) and "=" not in texts:
        return Context("type")
    return Context("init")


def line_contexts(tokenized):
    """The context each line starts in, and whether a statement starts there."""
    stack = [Context("namespace")]
    pending = []
    starts = []
    statement_start = True
    for toks, preprocessor in tokenized:
        starts.append((stack[-1], statement_start))
        if preprocessor or not toks:
            continue
        for t in toks:
            if t.kind == "op" and t.text == "{":
                stack.append(brace_kind(pending, stack[-1]))
                pending = []
                statement_start = True
            elif t.kind == "op" and t.text == "}":
                if len(stack) > 1:
                    stack.pop()
                pending = []
                statement_start = True
            elif t.kind == "op" and t.text == ";":
                pending = []
                statement_start = True
            else:
                pending.append(t)
                # `case X:`, `default:` and `public:` end a piece like ';'.
                statement_start = t.text == ":" and len(pending) >= 2 and pending[0].text in (
                    "case", "default", "public", "private", "protected")
                if statement_start:
                    pending = []
        # The body of `if (...)`, `while (...)`, `else` on the next line.
        words = [t.text for t in toks]
        if words[-1] in (")", "else") and (words[0] in ("if", "while", "for", "else")
                                           or words[:2] == ["}", "else"]):
            statement_start = True
    return starts


# ---- Mutation operators -------------------------------------------------------

RELATIONAL = {"<": ("<=", ">"), "<=": ("<", ">="), ">": (">=", "<"), ">=": (">", "<="),
              "==": ("!=",), "!=": ("==",)}
ARITHMETIC = {"+": "-", "-": "+", "*": "/", "/": "*", "+=": "-=", "-=": "+=", "*=": "/=",
              "/=": "*=", "++": "--", "--": "++"}
LOGICAL = {"&&": "||", "||": "&&"}


def replace_span(text, start, end, new):
    return text[:start] + new + text[end:]


def bump_literal(text):
    """0 -> 1, 1 -> 0, n -> n + 1 for an integer literal, keeping base and suffix."""
    m = re.fullmatch(r"(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*)([uUlL]*)", text)
    if not m:
        return None  # floating point
    digits, suffix = m.groups()
    clean = digits.replace("'", "")
    if clean[:2] in ("0x", "0X"):
        value = int(clean, 16)
        new = value + 1 if value != 1 else 0
        body = format(new, "X" if any(c.isupper() for c in clean[2:]) else "x")
        return clean[:2] + body.rjust(len(clean) - 2, "0") + suffix
    if clean[:2] in ("0b", "0B"):
        value = int(clean, 2)
        new = value + 1 if value != 1 else 0
        return clean[:2] + format(new, "b") + suffix
    value = int(clean, 8) if len(clean) > 1 and clean.startswith("0") else int(clean)
    if len(clean) > 1 and clean.startswith("0"):
        return "0" + format(value + 1, "o") + suffix
    return str(1 if value == 0 else 0 if value == 1 else value + 1) + suffix


def looks_boolean(toks):
    """A comparison or a logical operator at the top level, or a leading '!'."""
    templates = template_brackets(toks)
    depth = 0
    found = bool(toks) and toks[0].text == "!"
    for i, t in enumerate(toks):
        if t.text in ("(", "[", "{"):
            depth += 1
        elif t.text in (")", "]", "}"):
            depth -= 1
        elif depth == 0 and t.text == "?":
            return False  # a conditional picks between values of any type
        elif depth == 0 and i not in templates and t.text in ("==", "!=", "<=", ">=", "&&", "||", "<", ">"):
            found = True
    return found


def mutants_of_line(text, toks, context, statement_start):
    """(operator, mutated line) pairs for one line of code."""
    if not toks:
        return []
    if any(t.kind == "id" and t.text in ASSERTS for t in toks) or is_log_line(toks):
        return []
    out = []
    templates = template_brackets(toks)
    for i, t in enumerate(toks):
        prev = toks[i - 1] if i > 0 else None
        nxt = toks[i + 1] if i + 1 < len(toks) else None
        if t.kind == "op" and t.text in RELATIONAL and i not in templates:
            # A leading '<' or '>' of a line is the end of a template or a stream;
            # `>::` closes template arguments.
            if (prev is not None or t.text in ("==", "!=", "<=", ">=")) and not (
                    t.text == ">" and nxt is not None and nxt.text == "::"):
                for new in RELATIONAL[t.text]:
                    out.append(("relational", replace_span(text, t.start, t.end, new)))
        elif t.kind == "op" and t.text in ARITHMETIC:
            if t.text in ("++", "--"):
                if (nxt is not None and nxt.kind == "id") or (prev is not None and prev.kind == "id"):
                    out.append(("arithmetic", replace_span(text, t.start, t.end, ARITHMETIC[t.text])))
                continue
            if t.text in ("*", "/", "+", "-") and not is_value_end(prev):
                continue  # unary, or a pointer declarator after a keyword
            if t.text == "*" and (prev.kind == "id" and prev.text[:1].isupper()
                                  or nxt is None or nxt.text in (")", ",", ">", "&", "*", "=", "const")
                                  or (looks_like_declaration(toks)
                                      and all(u.text != "=" for u in toks[:i]))):
                continue  # `Type* name`, `Foo*>`, `type *name = ...`
            out.append(("arithmetic", replace_span(text, t.start, t.end, ARITHMETIC[t.text])))
        elif t.kind == "op" and t.text in LOGICAL:
            if t.text == "&&" and prev is not None and (prev.text in TYPE_WORDS or prev.text in (">", ">>")):
                continue  # an rvalue reference
            out.append(("logical", replace_span(text, t.start, t.end, LOGICAL[t.text])))
        elif t.kind == "id" and t.text in ("true", "false"):
            out.append(("boolean", replace_span(text, t.start, t.end, "false" if t.text == "true" else "true")))
        elif t.kind == "num" and i not in templates:  # a template argument changes the type
            new = bump_literal(t.text)
            if new is not None and not (prev is not None and prev.text in ("[",) and context.kind != "code"):
                out.append(("constant", replace_span(text, t.start, t.end, new)))
        elif t.kind == "id" and t.text in ("if", "while") and nxt is not None and nxt.text == "(":
            close = matching_paren(toks, i + 1)
            if close is not None and close > i + 2:
                inner = text[toks[i + 2].start:toks[close - 1].end]
                out.append(("negate", replace_span(text, toks[i + 2].start, toks[close - 1].end, f"!({inner})")))

    # Statements whole: a bool return turned round, a plain statement deleted.
    code_line = context.kind == "code" and statement_start and toks[-1].text == ";" and balanced(toks)
    if code_line and toks[0].text == "return" and len(toks) > 2:
        expr = toks[1:-1]
        literal = len(expr) == 1 and expr[0].text in ("true", "false")
        if not literal and (context.returns_bool or looks_boolean(expr)):
            inner = text[expr[0].start:expr[-1].end]
            out.append(("return", replace_span(text, expr[0].start, expr[-1].end, f"!({inner})")))
    elif code_line and toks[0].text not in ("return", "case", "default", "break", "continue") \
            and not looks_like_declaration(toks):
        indent = text[:len(text) - len(text.lstrip())]
        out.append(("delete", indent + ";"))
    return out


def source_files():
    files = []
    for folder in FOLDERS:
        base = ROOT / folder
        if base.is_dir():
            files += [p for p in base.rglob("*") if p.suffix in SUFFIXES and p.is_file()]
    return sorted(files, key=lambda p: p.relative_to(ROOT).as_posix())


def read_lines(path):
    return path.read_text(encoding="utf-8").split("\n")


def candidates():
    """Every mutant of the sources, in a stable order."""
    found = []
    for path in source_files():
        rel = path.relative_to(ROOT).as_posix()
        lines = read_lines(path)
        tokenized = tokenize(lines)
        contexts = line_contexts(tokenized)
        keys = ["".join(t.text for t in toks) for toks, _ in tokenized]
        seen = set()
        for number, (text, (toks, preprocessor), (context, start)) in enumerate(
                zip(lines, tokenized, contexts), start=1):
            if preprocessor:
                continue
            for operator, mutated in mutants_of_line(text, toks, context, start):
                if mutated == text or (number, mutated) in seen:
                    continue
                seen.add((number, mutated))
                before, after = neighbours(keys, number - 1)
                found.append({"file": rel, "line": number, "original": text, "mutant": mutated,
                              "operator": operator, "before": before, "after": after})
    return found


# ---- Applying a recorded mutant -----------------------------------------------

def code_key(text):
    """A line's code without spaces and comments: what reformatting leaves alone."""
    return "".join(t.text for t in tokenize([text])[0][0])


def neighbours(keys, index):
    """The code of the two lines with code before and after a line."""
    def pick(indexes):
        found = [keys[i] for i in indexes if keys[i]]
        return found[:2]
    return pick(range(index - 1, max(index - 40, 0) - 1, -1)), pick(range(index + 1, min(index + 41, len(keys))))


_keys = {}


def file_keys(path):
    """The code of every line of a file (comments dropped), read again only when it changed."""
    stat = path.stat()
    signature = (stat.st_mtime_ns, stat.st_size)
    if path not in _keys or _keys[path][0] != signature:
        _keys[path] = (signature, ["".join(t.text for t in toks) for toks, _ in tokenize(read_lines(path))])
    return _keys[path][1]


def locate(record):
    """(path, 0-based line index) of the record's original line today, or None.

    Lines match by their code, whatever the spaces and comments. Of those with
    the original code, the one whose neighbours match the recorded ones best
    wins; then one in the recorded file; then the nearest to the recorded
    line number.
    """
    wanted = code_key(record["original"])
    recorded = ROOT / record["file"]
    target = record["line"] - 1
    before, after = record.get("before", []), record.get("after", [])
    best_key, best = None, None
    for path in source_files():
        try:
            keys = file_keys(path)
        except (OSError, UnicodeDecodeError):
            continue
        for i, key in enumerate(keys):
            if key != wanted:
                continue
            now_before, now_after = neighbours(keys, i)
            score = sum(a == b for a, b in zip(before, now_before)) + sum(a == b for a, b in zip(after, now_after))
            rank = (-score, path != recorded, abs(i - target))
            if best_key is None or rank < best_key:
                best_key, best = rank, (path, i)
    return best


def mutated_text(original_bytes, index, record):
    lines = original_bytes.decode("utf-8").split("\n")
    line = lines[index]
    indent = line[:len(line) - len(line.lstrip())]
    lines[index] = indent + record["mutant"].strip()
    return "\n".join(lines).encode("utf-8")


class Restorer:
    """Holds the original of the one source under mutation and puts it back."""

    def __init__(self):
        self.path = None
        self.original = None

    def apply(self, path, original, mutated):
        self.path, self.original = path, original
        PENDING.write_text(json.dumps({"path": str(path), "original": original.decode("utf-8")}))
        path.write_bytes(mutated)

    def restore(self):
        if self.path is not None:
            self.path.write_bytes(self.original)
            self.path = self.original = None
        if PENDING.exists():
            PENDING.unlink()

    @staticmethod
    def repair_leftover():
        if not PENDING.exists():
            return
        left = json.loads(PENDING.read_text())
        Path(left["path"]).write_text(left["original"], encoding="utf-8")
        PENDING.unlink()
        print(f"restored {left['path']}, left mutated by a run that was killed")


# ---- Building and testing -----------------------------------------------------

def run(cmd, timeout=None):
    """Runs cmd in its own process group; (return code, output, timed out)."""
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True, env=os.environ)
    try:
        output, _ = proc.communicate(timeout=timeout)
        timed_out = False
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        output, _ = proc.communicate()
        timed_out = True
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise
    return proc.returncode, output.decode("utf-8", "replace"), timed_out


def configure():
    cmd = ["cmake", "--preset", PRESET]
    if subprocess.run(["sh", "-c", "command -v ccache"], capture_output=True).returncode == 0:
        # Putting a source back compiles it again: ccache makes that a look-up.
        cmd.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        os.environ.setdefault("CCACHE_DIR", str(OUT / "ccache"))
        os.environ.setdefault("CCACHE_MAXSIZE", "3G")
    code, text, _ = run(cmd)
    if code != 0:
        sys.exit(f"mutation: configuring failed:\n{text}")


def build(jobs, timeout=None):
    return run(["cmake", "--build", "--preset", PRESET, "-j", str(jobs)], timeout=timeout)


COST_FILE = BUILD / "Testing" / "Temporary" / "CTestCostData.txt"
PASSED = re.compile(r"Test\s+#\d+: (\S+) \.*\s*Passed\s+([\d.]+) sec")


def test_times(ctest_output):
    """Seconds of each test that passed, from CTest's progress lines."""
    return {m.group(1): float(m.group(2)) for m in PASSED.finditer(ctest_output)}


def order_tests(times, killers):
    """Fast tests first, and before them the tests that killed recent mutants.

    CTest starts the tests that failed last time first, then the costliest:
    its cost file is written so that the fastest test costs the most.
    """
    top = max(times.values(), default=0.0) + 1.0
    COST_FILE.parent.mkdir(parents=True, exist_ok=True)
    COST_FILE.write_text("".join(f"{name} 1 {top - seconds:.6f}\n" for name, seconds in times.items())
                         + "---\n" + "".join(f"{name}\n" for name in killers))


FAILED = re.compile(r"^\s*\d+\s+-\s+(\S+)\s+\((.*)\)\s*$")
# For tests without a TIMEOUT of their own; the discovered gtest cases carry
# 600 s, so a mutant that hangs one is stopped by the suite's time limit.
TEST_TIMEOUT = 60
# A mutant's build: a test program that hangs on start stalls its discovery.
BUILD_TIMEOUT = 900


def run_tests(jobs, timeout, stop_on_failure=True):
    cmd = ["ctest", "--preset", PRESET, "-j", str(jobs), "--timeout", str(TEST_TIMEOUT), "--no-tests=error"]
    if stop_on_failure:
        cmd.append("--stop-on-failure")
    code, text, timed_out = run(cmd, timeout=timeout)
    failed = []
    if "The following tests FAILED:" in text:
        for line in text.split("The following tests FAILED:", 1)[1].splitlines():
            m = FAILED.match(line)
            if m:
                failed.append(f"{m.group(1)} ({m.group(2)})")
    return code, text, timed_out, failed


# ---- The run ------------------------------------------------------------------

def load_sample(path):
    with open(path, encoding="utf-8") as f:
        return [json.loads(line) for line in f if line.strip()]


def write_jsonl(path, records):
    with open(path, "w", encoding="utf-8") as f:
        for r in records:
            f.write(json.dumps(r, ensure_ascii=False) + "\n")


def short(text, width=60):
    text = text.strip()
    return text if len(text) <= width else text[:width - 1] + "…"


def git_dirty():
    return subprocess.run(["git", "diff", "--quiet", "--", *FOLDERS], cwd=ROOT).returncode != 0


def summarise(results, sample_size, sample_path, started, seed_text):
    counts = {s: sum(1 for r in results if r["status"] == s)
              for s in ("killed", "survived", "not built", "gone")}
    scored = counts["killed"] + counts["survived"]
    score = 100.0 * counts["killed"] / scored if scored else 0.0
    timed = [r for r in results if r["status"] in ("killed", "survived", "not built")]
    lines = [
        f"sample    {sample_path} ({sample_size} mutants{seed_text})"
        + ("" if len(results) == sample_size else f", interrupted after {len(results)}"),
        f"killed    {counts['killed']}",
        f"survived  {counts['survived']}",
        f"not built {counts['not built']}",
        f"gone      {counts['gone']}",
        f"score     {counts['killed']}/{scored} = {score:.1f} %  (killed / (killed + survived))",
    ]
    if timed:
        seconds = sum(r["build_s"] + r["test_s"] for r in timed)
        lines.append(f"time      {seconds:.0f} s for {len(timed)} mutants, {seconds / len(timed):.1f} s each "
                     f"(build {sum(r['build_s'] for r in timed) / len(timed):.1f} s, "
                     f"tests {sum(r['test_s'] for r in timed) / len(timed):.1f} s); "
                     f"wall {time.time() - started:.0f} s")
    operators = sorted({r["operator"] for r in results})
    lines.append("by operator (killed/survived/not built/gone):")
    for op in operators:
        mine = [r for r in results if r["operator"] == op]
        lines.append(f"  {op:<11} " + "/".join(str(sum(1 for r in mine if r["status"] == s))
                                               for s in ("killed", "survived", "not built", "gone")))
    survivors = [r for r in results if r["status"] == "survived"]
    lines.append(f"survivors ({len(survivors)}):")
    for r in survivors:
        lines.append(f"  {r['file']}:{r['line']}  {r['operator']}")
        lines.append(f"      {r['original'].strip()}")
        lines.append(f"    → {r['mutant'].strip()}")
    gone = [r for r in results if r["status"] == "gone"]
    if gone:
        lines.append(f"gone ({len(gone)}; their original line is in no source today):")
        for r in gone:
            lines.append(f"  {r['recorded_file']}:{r['recorded_line']}  {r['original'].strip()}")
    return "\n".join(lines) + "\n"


def compare(old_path, new_path):
    old, new = load_sample(old_path), load_sample(new_path)
    key = lambda r: (r["id"], r["original"].strip(), r["mutant"].strip())
    before = {key(r): r for r in old}
    changed = 0
    for r in new:
        o = before.get(key(r))
        if o is not None and o["status"] != r["status"]:
            changed += 1
            print(f"{o['status']:>9} → {r['status']:<9} {r['file']}:{r['line']} {r['operator']}: "
                  f"{short(r['original'])} → {short(r['mutant'])}")
    for path, rs in ((old_path, old), (new_path, new)):
        k = sum(1 for r in rs if r["status"] == "killed")
        s = sum(1 for r in rs if r["status"] == "survived")
        print(f"{path}: killed {k}, survived {s}, score {100.0 * k / (k + s) if k + s else 0:.1f} %")
    print(f"{changed} mutants changed status")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=17, help="seed of the sample (default 17)")
    parser.add_argument("--count", type=int, default=160, help="mutants in the sample (default 160)")
    parser.add_argument("--replay", metavar="SAMPLE.jsonl", help="run a recorded sample again")
    parser.add_argument("--list", action="store_true", help="print and record the sample, build nothing")
    parser.add_argument("--jobs", type=int, default=2, help="build and test jobs (default 2)")
    parser.add_argument("--name", help="folder of this run under build/mutation (default: from seed and time)")
    parser.add_argument("--suite-timeout", type=float,
                        help="seconds the suite may take for one mutant (default: 3 x an unmutated run + 60)")
    parser.add_argument("--compare", nargs=2, metavar=("OLD", "NEW"),
                        help="list mutants whose status differs between two results files")
    args = parser.parse_args()

    if args.compare:
        compare(*args.compare)
        return 0

    OUT.mkdir(parents=True, exist_ok=True)
    Restorer.repair_leftover()

    stamp = time.strftime("%Y%m%d-%H%M%S")
    if args.replay:
        sample = load_sample(args.replay)
        seed_text = ", replayed"
        name = args.name or f"replay-{Path(args.replay).stem}-{stamp}"
    else:
        everything = candidates()
        if args.count > len(everything):
            sys.exit(f"mutation: only {len(everything)} mutants to draw from")
        drawn = random.Random(args.seed).sample(everything, args.count)
        drawn.sort(key=lambda r: (r["file"], r["line"], r["operator"], r["mutant"]))
        sample = [dict(id=i, **r) for i, r in enumerate(drawn, start=1)]
        seed_text = f", seed {args.seed}, drawn from {len(everything)}"
        name = args.name or f"seed{args.seed}-n{args.count}-{stamp}"
    run_dir = OUT / name
    run_dir.mkdir(parents=True, exist_ok=True)
    sample_path = run_dir / "sample.jsonl"
    if not args.replay or Path(args.replay).resolve() != sample_path.resolve():
        write_jsonl(sample_path, sample)

    if args.list:
        by_op = {}
        for r in sample:
            by_op[r["operator"]] = by_op.get(r["operator"], 0) + 1
            where = locate(r)
            at = f"{where[0].relative_to(ROOT).as_posix()}:{where[1] + 1}" if where else "gone"
            print(f"{r['id']:>4} {r['operator']:<10} {at:<36} {short(r['original'], 50)}  →  {short(r['mutant'], 50)}")
        print(f"{len(sample)} mutants{seed_text}: " + ", ".join(f"{k} {v}" for k, v in sorted(by_op.items())))
        print(f"sample written to {sample_path}")
        return 0

    dirty_before = git_dirty()
    restorer = Restorer()

    def on_term(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGHUP, on_term)
    started = time.time()
    results = []
    results_path = run_dir / "results.jsonl"
    try:
        configure()
        print("building and testing the unmutated sources …", flush=True)
        code, text, _ = build(args.jobs)
        if code != 0:
            sys.exit(f"mutation: the unmutated sources do not build:\n{text[-3000:]}")
        if COST_FILE.exists():
            COST_FILE.unlink()  # ordered by an earlier run's mutants
        t0 = time.time()
        code, text, _, failed = run_tests(args.jobs, None, stop_on_failure=False)
        baseline = time.time() - t0
        if code != 0:
            sys.exit(f"mutation: the unmutated suite fails: {', '.join(failed) or text[-2000:]}")
        times = test_times(text)
        (run_dir / "test-times.json").write_text(json.dumps(times, indent=1, sort_keys=True))
        killers = []  # the tests that killed the latest mutants, latest first
        suite_timeout = args.suite_timeout or 3 * baseline + 60
        print(f"unmutated suite: {len(times)} tests, {baseline:.1f} s; a mutant's suite stops after "
              f"{suite_timeout:.0f} s", flush=True)

        for n, record in enumerate(sample, start=1):
            result = dict(record, recorded_file=record["file"], recorded_line=record["line"],
                          status="gone", build_s=0.0, test_s=0.0, failed=[], note="")
            where = locate(record)
            if where is not None:
                path, index = where
                result["file"], result["line"] = path.relative_to(ROOT).as_posix(), index + 1
                original = path.read_bytes()
                try:
                    restorer.apply(path, original, mutated_text(original, index, record))
                    t0 = time.time()
                    code, text, build_timed_out = build(args.jobs, BUILD_TIMEOUT)
                    result["build_s"] = round(time.time() - t0, 1)
                    if build_timed_out:
                        result["status"], result["note"] = "killed", "a test program hangs on start"
                    elif code != 0 and "Error running test executable" in text:
                        # Compiled and linked, but a test program fails before its first test.
                        result["status"], result["note"] = "killed", "test program fails on start"
                    elif code != 0:
                        errors = [l for l in text.splitlines() if "error" in l]
                        result["status"], result["note"] = "not built", short(errors[0] if errors else "", 160)
                    else:
                        order_tests(times, killers)
                        t0 = time.time()
                        code, text, timed_out, failed = run_tests(args.jobs, suite_timeout)
                        result["test_s"] = round(time.time() - t0, 1)
                        result["failed"] = failed
                        if timed_out:
                            result["status"], result["note"] = "killed", "suite timed out"
                        else:
                            result["status"] = "killed" if code != 0 else "survived"
                        for test in (f.rsplit(" (", 1)[0] for f in failed):
                            killers = [test] + [k for k in killers if k != test][:7]
                finally:
                    restorer.restore()
            results.append(result)
            detail = result["note"] or (result["failed"][0] if result["failed"] else "")
            print(f"[{n:>3}/{len(sample)}] {result['status']:<9} {result['file']}:{result['line']} "
                  f"{result['operator']:<10} build {result['build_s']:5.1f} s  tests {result['test_s']:5.1f} s"
                  f"  {short(detail, 70)}", flush=True)
            print(f"          {short(record['original'], 80)}\n        → {short(record['mutant'], 80)}", flush=True)
    except KeyboardInterrupt:
        print("\ninterrupted; the sources are restored", file=sys.stderr)
    finally:
        restorer.restore()
        write_jsonl(results_path, results)

    summary = summarise(results, len(sample), sample_path, started, seed_text)
    (run_dir / "summary.txt").write_text(summary)
    print("\n" + summary)
    print(f"results: {results_path}\nsummary: {run_dir / 'summary.txt'}")
    if not dirty_before and git_dirty():
        print("mutation: the sources differ from git after the run", file=sys.stderr)
        return 1
    if dirty_before:
        print("note: the sources had uncommitted changes before the run; they are as they were")
    else:
        print("sources unchanged (git diff --quiet on " + " ".join(f + "/" for f in FOLDERS) + ")")
    return 0 if len(results) == len(sample) else 130


if __name__ == "__main__":
    sys.exit(main())
