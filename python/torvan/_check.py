"""The arguments checked before the compiled module sees them.

A wrong type raises TypeError and a wrong value ValueError, each naming the
argument, so that nothing reaches the extension that it would refuse in its
own words. Ranges that depend on the problem (nhire within ntot, prop
within (0, 1)) are the library's to check: its messages are the command
line's.
"""

from __future__ import annotations

import numbers
from typing import Any, Optional

#: The largest count the library takes (a C int).
COUNT_MAX = 2**31 - 1


def _kind(value: Any) -> str:
    return f"{value!r} ({type(value).__name__})"


def whole(value: Any, name: str) -> int:
    """`value` as an int when it is a whole number within a count's range.

    A DataFrame column of counts turns into floats as soon as one cell is
    missing: 10.0 is still ten applicants, 10.5 is not a count. A bool is no
    count, nor is a string.
    """
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a whole number, not {_kind(value)}")
    if isinstance(value, numbers.Integral):
        v = int(value)
    elif float(value).is_integer():
        v = int(value)
    else:
        raise ValueError(f"{name} = {value!r} must be a whole number")
    if abs(v) > COUNT_MAX:
        raise ValueError(f"{name} = {v} is beyond the range of a count (at most {COUNT_MAX})")
    return v


def at_least(value: Any, name: str, low: int) -> int:
    v = whole(value, name)
    if v < low:
        raise ValueError(f"{name} = {v} must be at least {low}")
    return v


def real(value: Any, name: str) -> float:
    """`value` as a float: any real number but a bool; the library checks its range."""
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, not {_kind(value)}")
    return float(value)


def optional_real(value: Any, name: str) -> Optional[float]:
    return None if value is None else real(value, name)


def flag(value: Any, name: str) -> bool:
    """True or False (NumPy's bool too), nothing else."""
    if value is True or value is False or type(value).__name__ == "bool_":
        return bool(value)
    raise TypeError(f"{name} must be True or False, not {_kind(value)}")


def optional_flag(value: Any, name: str) -> Optional[bool]:
    return None if value is None else flag(value, name)


def method(value: Any, names: tuple) -> str:
    if not isinstance(value, str):
        raise TypeError(f"method must be one of {', '.join(names)}, not {_kind(value)}")
    if value not in names:
        raise ValueError(f"method must be one of {', '.join(names)}, not {value!r}")
    return value


def threads(value: Any) -> Optional[int]:
    """None (every hardware thread) or a count of at least 1."""
    return None if value is None else at_least(value, "threads", 1)
