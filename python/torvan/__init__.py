"""TORVAN: the exact sampling distribution of the adverse impact ratio.

The adverse impact (AI) ratio is the majority's selection rate over the
minority's when the `nhire` best of `ntot` applicants are hired top-down.
:func:`distribution` computes one problem; :func:`grid` computes many, on
local threads or on a Dask cluster. The numbers come from the same C++
library as the ``torvan`` command line, and agree with it to the last bit.
"""

from . import _torvan
from ._distribution import Distribution, distribution
from ._grid import grid

__version__ = _torvan.version
#: Names accepted by the ``method`` argument.
methods = _torvan.methods

__all__ = ["Distribution", "distribution", "grid", "methods"]
