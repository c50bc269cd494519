"""Times the package: the call overhead of `distribution` on a tiny problem,
and a 200-cell grid on local threads against a LocalCluster of two worker
processes (and, for the batching, the same cluster with one task per cell).

    PYTHONPATH=build/python /usr/bin/python3 python/bench/grid_speed.py
"""

import statistics
import time

import torvan
from torvan._grid import run_batch


def overhead(calls=2000):
    """Wall time of a call beside the library's own CPU time for it."""
    walls, cpus = [], []
    for _ in range(calls):
        t0 = time.perf_counter()
        d = torvan.distribution(4, 2, 0.0, 0.5, threads=1)
        walls.append(time.perf_counter() - t0)
        cpus.append(d.cpu_seconds)
    t0 = time.perf_counter()
    for _ in range(calls):
        torvan.distribution(4, 2, 0.0, 0.5, threads=1).table
    table = (time.perf_counter() - t0) / calls - statistics.median(walls)
    print(f"distribution(4, 2, 0, 0.5): {statistics.median(walls) * 1e6:.0f} us a call "
          f"(median of {calls}), of which the library computes "
          f"{statistics.median(cpus) * 1e6:.0f} us; building .table adds {table * 1e6:.0f} us")


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
    local = timed(f"{len(cells)}-cell grid (ntot 10 ... 29), local threads",
                  lambda: torvan.grid(cells))
    timed(f"{len(tiny)}-cell grid (ntot 4 ... 8), local threads", lambda: torvan.grid(tiny))
    with timed("LocalCluster(n_workers=2) start", lambda: LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
            dashboard_address=None)) as cluster, Client(cluster) as client:
        remote = timed(f"{len(cells)}-cell grid, LocalCluster",
                       lambda: torvan.grid(cells, client=client))
        assert remote.equals(local)
        timed(f"{len(tiny)}-cell grid, LocalCluster, batched",
              lambda: torvan.grid(tiny, client=client))
        timed(f"{len(tiny)}-cell grid, LocalCluster, one task per cell", lambda: client.gather(
            client.map(run_batch, [[c] for c in tiny], method="nested", pure=False)))


if __name__ == "__main__":
    overhead()
    grids()
