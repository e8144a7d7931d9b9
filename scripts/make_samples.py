#!/usr/bin/env python3
"""Writes the bundled sample models into samples/: a teapot-like shape (body and lid of revolution,
a spout and a handle, with a material library) and a small cube with two materials."""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.join(HERE, "..", "samples")


class Mesh:
    def __init__(self):
        self.vertices = []
        self.texcoords = []
        self.faces = []  # (material, [vertex indices 1-based])

    def vertex(self, x, y, z, u, v):
        self.vertices.append((x, y, z))
        self.texcoords.append((u, v))
        return len(self.vertices)

    def grid(self, material, rows, cols, point, closed_cols=True):
        """A surface sampled on a rows x cols grid; point(i, j) gives x, y, z."""
        index = {}
        for i in range(rows + 1):
            for j in range(cols + (0 if closed_cols else 1)):
                x, y, z = point(i, j)
                index[i, j] = self.vertex(x, y, z, j / cols, i / rows)
        for i in range(rows):
            for j in range(cols):
                j1 = (j + 1) % cols if closed_cols else j + 1
                self.faces.append((material, [index[i, j], index[i + 1, j], index[i + 1, j1], index[i, j1]]))


def revolve(profile, steps):
    def point(i, j):
        r, y = profile[i]
        a = 2 * math.pi * j / steps
        return r * math.cos(a), y, r * math.sin(a)
    return point


def teapot():
    mesh = Mesh()
    # Body: a squashed sphere-like profile (radius, height) from the base up to the rim.
    body = [(0.0, 0.0)] + [(1.0 * math.sin(math.pi * t / 16) * (1.0 + 0.15 * math.sin(math.pi * t / 16)), 1.2 * (1 - math.cos(math.pi * t / 16)) / 2 * 1.0)
                           for t in range(1, 14)] + [(0.62, 1.18)]
    mesh.grid("porcelain", len(body) - 1, 32, revolve(body, 32))
    # Lid with a knob.
    lid = [(0.64, 1.18), (0.55, 1.28), (0.35, 1.36), (0.12, 1.40), (0.10, 1.48), (0.16, 1.55), (0.0, 1.58)]
    mesh.grid("lid", len(lid) - 1, 32, revolve(lid, 32))

    # Spout: a tube along a curve from the body's side, narrowing towards the tip.
    def spout(i, j):
        t = i / 12
        cx = 0.95 + 0.75 * t
        cy = 0.45 + 0.75 * t * t + 0.1 * t
        radius = 0.22 - 0.12 * t
        a = 2 * math.pi * j / 12
        # Tilt the ring with the curve's direction.
        dx, dy = 0.75, 1.5 * t + 0.1
        length = math.hypot(dx, dy)
        nx, ny = -dy / length, dx / length
        return cx + nx * radius * math.cos(a), cy + ny * radius * math.cos(a), radius * math.sin(a)
    mesh.grid("porcelain", 12, 12, spout)

    # Handle: a torus segment on the other side.
    def handle(i, j):
        t = -math.pi / 2 + math.pi * i / 16
        a = 2 * math.pi * j / 10
        cx, cy = -0.95 - 0.45 * math.cos(t), 0.65 + 0.42 * math.sin(t)
        tx, ty = 0.45 * math.sin(t), 0.42 * math.cos(t)
        length = math.hypot(tx, ty)
        nx, ny = -ty / length, tx / length
        r = 0.08
        return cx + r * math.cos(a) * nx, cy + r * math.cos(a) * ny, r * math.sin(a)
    mesh.grid("handle", 16, 10, handle)
    return mesh


def write_obj(mesh, name, library, materials):
    with open(os.path.join(SAMPLES, name + ".obj"), "w", newline="\n") as out:
        out.write("# %s: sample model of Solvane Viewer, made by scripts/make_samples.py\n" % name)
        out.write("mtllib %s.mtl\n" % name)
        for v in mesh.vertices:
            out.write("v %.5f %.5f %.5f\n" % v)
        for t in mesh.texcoords:
            out.write("vt %.5f %.5f\n" % t)
        current = None
        for material, corners in mesh.faces:
            if material != current:
                out.write("usemtl %s\n" % material)
                current = material
            out.write("f " + " ".join("%d/%d" % (c, c) for c in corners) + "\n")
    with open(os.path.join(SAMPLES, name + ".mtl"), "w", newline="\n") as out:
        for material, (ka, kd, ks) in materials.items():
            out.write("newmtl %s\nKa %.3f %.3f %.3f\nKd %.3f %.3f %.3f\nKs %.3f %.3f %.3f\nNs 60\n\n" % ((material,) + ka + kd + ks))


def cube():
    mesh = Mesh()
    corners = [(-1, -1, -1), (1, -1, -1), (1, 1, -1), (-1, 1, -1), (-1, -1, 1), (1, -1, 1), (1, 1, 1), (-1, 1, 1)]
    for x, y, z in corners:
        mesh.vertex(x, y, z, (x + 1) / 2, (y + 1) / 2)
    quads = [[1, 4, 3, 2], [5, 6, 7, 8], [1, 2, 6, 5], [3, 4, 8, 7], [2, 3, 7, 6], [1, 5, 8, 4]]
    for k, quad in enumerate(quads):
        mesh.faces.append(("red" if k < 2 else "grey", quad))
    return mesh


def main():
    os.makedirs(SAMPLES, exist_ok=True)
    write_obj(teapot(), "teapot", "teapot.mtl", {
        "porcelain": ((0.20, 0.22, 0.30), (0.55, 0.65, 0.85), (0.9, 0.9, 0.9)),
        "lid": ((0.25, 0.20, 0.15), (0.80, 0.55, 0.30), (0.9, 0.9, 0.9)),
        "handle": ((0.25, 0.20, 0.15), (0.80, 0.55, 0.30), (0.5, 0.5, 0.5)),
    })
    write_obj(cube(), "cube", "cube.mtl", {
        "red": ((0.3, 0.05, 0.05), (0.9, 0.15, 0.1), (1, 1, 1)),
        "grey": ((0.2, 0.2, 0.2), (0.6, 0.6, 0.6), (0.3, 0.3, 0.3)),
    })


if __name__ == "__main__":
    main()
