"""The end-to-end matrix and the pairwise choice of its cells."""
import itertools

DIMENSIONS = (
    ('windows', ('xp', '7', '10')),
    ('state', ('clean', 'installed')),
    ('kit', (0, 1, 2, 3)),
    ('family', ('QCT', 'EMP')),
)


def all_cells():
    names = [name for name, _ in DIMENSIONS]
    return [dict(zip(names, values)) for values in itertools.product(*[values for _, values in DIMENSIONS])]


def pairs_of(cell):
    names = [name for name, _ in DIMENSIONS]
    return {((a, cell[a]), (b, cell[b])) for a, b in itertools.combinations(names, 2)}


def pairwise_cells(already=()):
    """Cells, added to the ones already run, until every pair of values of any two dimensions
    occurs in some cell. Greedy: each step takes the cell that covers most uncovered pairs, the
    first of the full matrix's order among equals; so the choice is the same every time."""
    uncovered = set()
    for cell in all_cells():
        uncovered |= pairs_of(cell)
    for cell in already:
        uncovered -= pairs_of(cell)
    chosen = []
    candidates = all_cells()
    while uncovered:
        best = max(candidates, key=lambda cell: len(pairs_of(cell) & uncovered))
        gain = pairs_of(best) & uncovered
        if not gain:
            break
        chosen.append(best)
        uncovered -= gain
    return chosen


def cell_name(cell):
    return 'win%s-%s-kit%d-%s' % (cell['windows'], cell['state'], cell['kit'], cell['family'])
