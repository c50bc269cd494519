"""Rich display in notebooks: a result's figures as a small HTML table, and
the chart the command line draws, inline as SVG."""

from __future__ import annotations

import html
import math
from typing import Iterable, Optional, Tuple


def figure(value) -> str:
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return "-"
    if isinstance(value, float):
        return f"{value:.6g}"
    return str(value)


def page(title: str, rows: Iterable[Tuple[str, object]], svg: Optional[str] = None) -> str:
    """A title, a two-column table of named figures, and the chart if there is one."""
    cells = "".join(f"<tr><th style='text-align:left'>{html.escape(name)}</th>"
                    f"<td style='text-align:right'>{html.escape(figure(value))}</td></tr>"
                    for name, value in rows)
    chart = ""
    if svg:  # the library's own document: its text is escaped where it writes it
        start = svg.find("<svg")
        chart = f"<div>{svg[start:] if start >= 0 else svg}</div>"
    return f"<div><p><b>{html.escape(title)}</b></p><table>{cells}</table>{chart}</div>"
