"""TORVAN: the exact sampling distribution of the adverse impact ratio.

The adverse impact (AI) ratio is the majority's selection rate over the
minority's when the `nhire` best of `ntot` applicants are hired top-down.
:func:`distribution` computes one problem; :func:`grid` computes many, on
local threads or on a Dask cluster. :func:`audit` looks back at what was
hired: the usual adverse impact statistics of the counts and the effect size
that top-down selection implies; :func:`audit_events` does so for several
events and all of them together, and :func:`audit_groups` for several
groups against a reference. :func:`plan` follows every rule's
probability as the pool grows. The numbers come from the same C++
library as the ``torvan`` command line, and agree with it to the last bit.
"""

from . import _torvan
from ._audit import Audit, EventsAudit, audit, audit_events
from ._design import Design, design
from ._distribution import Distribution, distribution
from ._groups import GroupEventsAudit, GroupsAudit, audit_groups
from ._grid import grid
from ._plan import Plan, plan

#: The package's version, the library's (as ``torvan --version`` prints it).
__version__: str = _torvan.version
#: Names accepted by the ``method`` argument.
methods = _torvan.methods
#: Names accepted by the ``rule`` argument of :func:`plan`, as the JSON documents name the rules.
flagging_rules = tuple(_torvan.flagging_rules)

__all__ = ["Audit", "Design", "Distribution", "EventsAudit", "GroupEventsAudit", "GroupsAudit",
           "Plan", "audit", "audit_events", "audit_groups", "design", "distribution",
           "flagging_rules", "grid", "methods", "plan"]
