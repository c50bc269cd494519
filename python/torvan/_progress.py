"""Progress bars of long computations, drawn by tqdm."""

import sys


def interactive():
    """Whether someone is watching: standard error is a terminal, or a notebook runs this."""
    try:
        if sys.stderr is not None and sys.stderr.isatty():
            return True
    except (AttributeError, ValueError):  # a replaced or closed stream
        pass
    ipython = sys.modules.get("IPython")
    shell = ipython.get_ipython() if ipython is not None else None
    return getattr(shell, "kernel", None) is not None


class Progress:
    """A tqdm bar of `unit` done, or nothing at all.

    `progress` True draws the bar at once (tqdm must be installed), False
    never; None draws it when the session is interactive and tqdm is there,
    and only once the work has run a second, so that quick calls stay quiet.
    """

    def __init__(self, progress, unit, total=None):
        self._bar = None
        asked = progress is not None
        if not (progress if asked else interactive()):
            return
        try:
            from tqdm.auto import tqdm
        except ImportError:
            if asked:
                raise
            return
        self._bar = tqdm(total=total, unit=unit, file=sys.stderr, delay=0.0 if asked else 1.0)

    def update_to(self, done, total):
        """Show `done` of `total`, as the library counts pools."""
        if self._bar is not None:
            self._bar.total = total
            self._bar.update(done - self._bar.n)

    def advance(self, n=1):
        if self._bar is not None:
            self._bar.update(n)

    def callback(self):
        """What the compiled module calls as pools are finished, or None."""
        return None if self._bar is None else self.update_to

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self._bar is not None:
            self._bar.close()
