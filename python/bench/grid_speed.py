"""Times the package: the call overhead of `distribution` on a tiny problem,
and a 200-cell grid on local threads against a LocalCluster of two worker
processes (and, for the batching, 200 tiny cells with one task per cell).

    PYTHONPATH=build/python /usr/bin/python3 python/bench/grid_speed.py
"""

import statistics
import time

import torvan
from torvan._grid import run_batch


def overhead(method, calls=2000):
    """Wall time of a call beside the library's own CPU time for it."""
    walls, cpus = [], []
    for _ in range(calls):
        t0 = time.perf_counter()
        d = torvan.distribution(4, 2, 0.0, 0.5, method=method, threads=1)
        walls.append(time.perf_counter() - t0)
        cpus.append(d.cpu_seconds)
    t0 = time.perf_counter()
    for _ in range(calls):
        torvan.distribution(4, 2, 0.0, 0.5, method=method, threads=1).table
    table = (time.perf_counter() - t0) / calls - statistics.median(walls)
    wall, cpu = statistics.median(walls), statistics.median(cpus)
    print(f"distribution(4, 2, 0, 0.5, method={method!r}): {wall * 1e6:.0f} us a call (median "
          f"of {calls}), library {cpu * 1e6:.0f} us, the rest {(wall - cpu) * 1e6:.0f} us; "
          f".table adds {table * 1e6:.0f} us")


def timed(what, run):
    t0 = time.perf_counter()
    result = run()
    print(f"{what}: {time.perf_counter() - t0:.2f} s")
    return result


def grids():
    from dask.distributed import Client, LocalCluster

    esizes = (-1.5, -1.0, -0.75, -0.5, -0.25, 0.0, 0.25, 0.5, 0.75, 1.0)
    cells = [(n, n // 3, e, 0.3) for n in range(10, 30) for e in esizes]
    tiny = [(n, n // 2, e, 0.5) for n in range(4, 9) for e in esizes * 4]
    local = timed("200 cells (ntot 10 ... 29), nested, local threads", lambda: torvan.grid(cells))
    timed("200 cells, direct, local threads", lambda: torvan.grid(cells, method="direct"))
    timed("200 tiny cells (ntot 4 ... 8), nested, local threads", lambda: torvan.grid(tiny))
    start = timed("LocalCluster(n_workers=2, threads_per_worker=1) start", lambda: LocalCluster(
        n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
        dashboard_address=None))
    with start as cluster, Client(cluster) as client:
        remote = timed("200 cells, nested, LocalCluster",
                       lambda: torvan.grid(cells, client=client))
        assert remote.equals(local)
        timed("200 cells, direct, LocalCluster",
              lambda: torvan.grid(cells, method="direct", client=client))
        timed("200 tiny cells, nested, LocalCluster, batched",
              lambda: torvan.grid(tiny, client=client))
        timed("200 tiny cells, nested, LocalCluster, one task per cell", lambda: client.gather(
            client.map(run_batch, [[c] for c in tiny], method="nested", alpha=0.05, pure=False)))


if __name__ == "__main__":
    overhead("nested")
    overhead("direct")
    grids()
