"""The README stays a front page and the documentation's relative links resolve."""
import re
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")


def test_readme_is_short_and_starts_with_the_quick_start():
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    assert len(text.splitlines()) <= 250
    first_block = re.search(r"```[a-z]*\n(.*?)```", text, re.S).group(1)
    assert first_block.split("\n")[:-1] == ["bash examples/demo.sh", "bash .ci/run"], first_block


def test_relative_links_point_to_existing_files():
    pages = [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
    broken = []
    for page in pages:
        for target in LINK.findall(page.read_text(encoding="utf-8")):
            path = target.split("#")[0]
            if path and not re.match(r"[a-z]+:", path) and not (page.parent / path).exists():
                broken.append(f"{page.relative_to(ROOT)}: {target}")
    assert not broken, broken
