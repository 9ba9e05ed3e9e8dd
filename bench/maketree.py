#!/usr/bin/env python3
"""maketree.py DIR [N] [--fanouts F1,F2,...]

Creates a deterministic drawing archive of about N entries (default 200000) below DIR:
folders several levels deep, file names like 387-123-05.dwg, 4711-b.pdf, A-100.DWG.
By default the folder levels follow from N (about 100 files per folder); --fanouts gives the
number of subfolders per folder on each level instead (3,3,2,2,2,2,2: 570 folders, 7 levels).
The same arguments always give the same paths; a tree made earlier with them is reused.
"""
import os
import sys


class Lcg:
    """Small fixed generator, so the tree does not depend on the Python version."""

    def __init__(self, seed):
        self.state = seed

    def below(self, n):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.state >> 33) % n


TOP = ["2D", "3D", "Archiv", "Normteile", "Kunden", "Pruefplaene", "Stuecklisten", "Vorrichtungen"]
SUB = ["Baugruppe", "Einzelteil", "Rev_A", "Rev_B", "alt", "neu", "Entwurf", "Freigabe"]
EXTS = [".dwg", ".dwg", ".dwg", ".pdf", ".pdf", ".dxf", ".tif", ".xlsx", ".DWG", ".PDF"]


def file_name(rng):
    kind = rng.below(20)
    ext = EXTS[rng.below(len(EXTS))]
    if kind < 3:  # the number users look for most
        return "4711%s%s" % (["", "-a", "-b", "-c", "_01", "-02"][rng.below(6)], ext)
    if kind < 5:
        return "4711-%03d-%02d%s" % (rng.below(1000), rng.below(100), ext)
    if kind == 5:
        return "A4711-%d%s" % (rng.below(100), ext)
    if kind == 6:
        return "A-%d%s" % (rng.below(1000), ext.upper())
    if kind == 7:
        return "Plan_%d.v%d%s" % (rng.below(10000), rng.below(5), ext)
    return "%03d-%03d-%02d%s" % (rng.below(1000), rng.below(1000), rng.below(100), ext)


def plan_levels(n):
    """Fan-out per level: deeper trees for more entries, about 100 files per folder."""
    fanouts = [8, 8, 6, 4, 3]
    levels = []
    folders = 1
    for f in fanouts:
        if (folders * f) * 100 > n and levels:
            break
        levels.append(f)
        folders *= f
    return levels


def main():
    args = sys.argv[1:]
    fanouts = None
    if "--fanouts" in args:
        at = args.index("--fanouts")
        if at + 1 >= len(args):
            sys.stderr.write(__doc__)
            return 2
        fanouts = [int(f) for f in args[at + 1].split(",")]
        del args[at:at + 2]
    if len(args) not in (1, 2):
        sys.stderr.write(__doc__)
        return 2
    root = args[0]
    n = int(args[1]) if len(args) == 2 else 200000
    marker = os.path.join(root, ".maketree-%d" % n + ("" if fanouts is None else "-" + "-".join(map(str, fanouts))))
    if os.path.exists(marker):
        print("maketree: reusing %s (%d entries)" % (root, n))
        return 0
    os.makedirs(root, exist_ok=True)
    if os.listdir(root):
        sys.stderr.write("maketree: %s is not empty and was not made with these arguments\n" % root)
        return 1

    rng = Lcg(4711)
    levels = plan_levels(n) if fanouts is None else fanouts
    folders = []

    def make(path, depth):
        os.mkdir(path)
        folders.append(path)
        if depth < len(levels):
            names = TOP if depth == 0 else SUB
            for i in range(levels[depth]):
                make(os.path.join(path, "%s%s" % (names[i % len(names)], "" if i < len(names) else i)), depth + 1)

    os.rmdir(root)
    make(root, 0)
    created = len(folders) - 1
    budget = max(n - 1 - created, 0)
    # Files go round the folders with some scatter, so folder sizes differ.
    while budget > 0:
        for folder in folders:
            if budget <= 0:
                break
            count = min(budget, 1 + rng.below(180))
            seen = set()
            for _ in range(count):
                name = file_name(rng)
                if name in seen or os.path.exists(os.path.join(folder, name)):
                    continue
                seen.add(name)
                os.close(os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT, 0o644))
                budget -= 1
                created += 1
    with open(marker, "w") as f:
        f.write("%d\n" % n)
    print("maketree: made %s with %d entries" % (root, created + 1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
