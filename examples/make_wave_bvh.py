#!/usr/bin/env python3
"""Writes wave.bvh: a small figure that raises its right arm and waves.

The example animation of the kin project, made here from scratch: nine
joints, 30 frames at 30 frames per second. Run it to regenerate the file:
    python3 examples/make_wave_bvh.py > examples/wave.bvh
"""
import math

FRAMES = 30
FRAME_TIME = 1.0 / 30

# name, parent, offset (cm); the root gets position channels as well.
JOINTS = [
    ("Hips", None, (0.0, 90.0, 0.0)),
    ("Spine", "Hips", (0.0, 10.0, 0.0)),
    ("Chest", "Spine", (0.0, 20.0, 0.0)),
    ("Neck", "Chest", (0.0, 20.0, 0.0)),
    ("Head", "Neck", (0.0, 8.0, 0.0)),
    ("RightArm", "Chest", (-18.0, 15.0, 0.0)),
    ("RightForeArm", "RightArm", (-28.0, 0.0, 0.0)),
    ("RightHand", "RightForeArm", (-25.0, 0.0, 0.0)),
    ("LeftArm", "Chest", (18.0, 15.0, 0.0)),
]
END_SITES = {"Head": (0.0, 15.0, 0.0), "RightHand": (-10.0, 0.0, 0.0),
             "LeftArm": (28.0, 0.0, 0.0)}


def children(name):
    return [j for j in JOINTS if j[1] == name]


def write_joint(joint, depth, out):
    name, parent, offset = joint
    pad = "  " * depth
    out.append(f"{pad}{'ROOT' if parent is None else 'JOINT'} {name}")
    out.append(f"{pad}{{")
    out.append(f"{pad}  OFFSET {offset[0]:.2f} {offset[1]:.2f} {offset[2]:.2f}")
    if parent is None:
        out.append(f"{pad}  CHANNELS 6 Xposition Yposition Zposition "
                   "Zrotation Xrotation Yrotation")
    else:
        out.append(f"{pad}  CHANNELS 3 Zrotation Xrotation Yrotation")
    for child in children(name):
        write_joint(child, depth + 1, out)
    if name in END_SITES:
        end = END_SITES[name]
        out.append(f"{pad}  End Site")
        out.append(f"{pad}  {{")
        out.append(f"{pad}    OFFSET {end[0]:.2f} {end[1]:.2f} {end[2]:.2f}")
        out.append(f"{pad}  }}")
    out.append(f"{pad}}}")


def pose(frame):
    """Rotations (z, x, y) in degrees per joint, and the root position."""
    t = frame / (FRAMES - 1)
    raise_arm = min(1.0, t * 3)                # lift over the first third
    swing = math.sin(2 * math.pi * 2 * t)      # two waves in the clip
    rot = {name: (0.0, 0.0, 0.0) for name, _, _ in JOINTS}
    rot["Hips"] = (0.0, 0.0, 5.0 * math.sin(2 * math.pi * t))
    rot["Spine"] = (2.0 * swing, 0.0, 0.0)
    rot["Head"] = (0.0, 0.0, 10.0 * swing)
    rot["RightArm"] = (-80.0 * raise_arm, 0.0, 0.0)
    rot["RightForeArm"] = (-60.0 * raise_arm + 25.0 * swing * raise_arm,
                           0.0, 0.0)
    rot["RightHand"] = (15.0 * swing * raise_arm, 0.0, 0.0)
    rot["LeftArm"] = (70.0, 0.0, 0.0)
    position = (0.0, 90.0 + 1.5 * math.sin(2 * math.pi * t), 0.0)
    return position, rot


def main():
    out = ["HIERARCHY"]
    write_joint(JOINTS[0], 0, out)
    out.append("MOTION")
    out.append(f"Frames: {FRAMES}")
    out.append(f"Frame Time: {FRAME_TIME:.7f}")
    for frame in range(FRAMES):
        position, rot = pose(frame)
        values = list(position)
        for name, _, _ in JOINTS:
            values.extend(rot[name])
        out.append(" ".join(f"{v:.4f}" for v in values))
    print("\n".join(out))


if __name__ == "__main__":
    main()
