#!/usr/bin/python3
"""The key drawing of bench_artwork done the way Python pad programs do it, with Pillow.

Reads the inputs bench_artwork wrote (bench_artwork --peer-inputs=DIR): the two wallpapers, the
twelve 100 x 100 icons and the badge colours. Draws the same three workloads on them, in the
same shapes as our own code's output, and prints one JSON object of median times per key:

  displaypad_key_us  a 102 x 102 DisplayPad key: its slice of the wallpaper, the icon with a
                     numeric badge over it, as BGR bytes (31212)
  msdtwo_key_us      a 64 x 64 MSD-TWO button over its background slice, as JPEG quality 95
  background_us      the 320 x 240 MSD-TWO background, turned a quarter turn into the
                     240 x 320 portrait buffer, as RGB565 little-endian (153600 bytes)

Each workload runs `--repetitions` times for at least `--min-time` CPU seconds; medians are of the
repetitions (CPU time; wall-time samples are reported too). The drawn pictures are written beside the inputs (peer-*.bgr/.jpg/.565) so that
the comparison can check that both sides did the same work.
"""

import argparse
import io
import json
import os
import statistics
import sys
import time

from PIL import Image, ImageChops, ImageDraw, ImageFont

KEY = 102
MSD_KEY = 64
BADGE = 100
FONT_PATHS = ("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",)


def load_font(size):
    for path in FONT_PATHS:
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    sys.exit("pillow_keys: DejaVu Sans Bold is missing (install fonts-dejavu-core)")


class DisplayPadKeys:
    """Wallpaper 1224 x 408 spread over the 612 x 204 key grid; key k shows its own slice."""

    def __init__(self, inputs, manifest):
        self.wallpaper = Image.open(os.path.join(inputs, "wallpaper-displaypad.png")).convert("RGB")
        self.wallpaper.load()
        self.icons = []
        for name in manifest["icons"]:
            icon = Image.open(os.path.join(inputs, "icon-%s.png" % name)).convert("RGBA")
            icon.load()
            self.icons.append(icon)
        self.fill = tuple(manifest["badgeFill"])
        self.text = tuple(manifest["badgeText"])
        self.font = load_font(22)

    def badged(self, icon, number):
        image = icon.copy()
        draw = ImageDraw.Draw(image)
        text = "99+" if number > 99 else str(number)
        width = 32 if number < 10 else max(draw.textlength(text, font=self.font) + 12, 38)
        # Default position "top right": x = 98 - width, y = 66 from the bottom.
        left, top = BADGE - 2 - width, BADGE - 66 - 32
        draw.rounded_rectangle((left, top, left + width, top + 32), radius=16, fill=self.fill)
        draw.text((left + width / 2, top + 16), text, font=self.font, fill=self.text, anchor="mm")
        return image

    def key(self, grid, index, number):
        column, row = index % 6, index // 6
        key = grid.crop((column * KEY, row * KEY, (column + 1) * KEY, (row + 1) * KEY))
        badge = self.badged(self.icons[index], number).resize((KEY, KEY), Image.BILINEAR)
        key.alpha_composite(badge)
        return key.convert("RGB").tobytes("raw", "BGR")

    def frame(self):
        # The wallpaper is scaled once per frame and each key takes its slice of the result.
        grid = self.wallpaper.resize((6 * KEY, 2 * KEY), Image.BILINEAR).convert("RGBA")
        return [self.key(grid, index, index * 9) for index in range(12)]


class MsdTwo:
    """Wallpaper 1280 x 960 over the 320 x 240 screen; buttons 64 x 64 in a 3 x 2 grid."""

    def __init__(self, inputs, manifest):
        self.wallpaper = Image.open(os.path.join(inputs, "wallpaper-msdtwo.png")).convert("RGB")
        self.wallpaper.load()
        icon = Image.open(os.path.join(inputs, "icon-folder.png")).convert("RGBA")
        icon.load()
        self.icon = icon
        # Lookup tables give trunc(c / 255 x n) split into the low and high byte of RGB565.
        self.low_green = [((c * 63 // 255) & 7) << 5 for c in range(256)]
        self.low_blue = [c * 31 // 255 for c in range(256)]
        self.high_red = [(c * 31 // 255) << 3 for c in range(256)]
        self.high_green = [(c * 63 // 255) >> 3 for c in range(256)]

    def button(self, index):
        column, row = index % 3, index // 3
        x = (column + 0.5) * 320 / 3 - 32
        top = 240 - ((1.5 - row) * 120 - 32) - 64
        # Each button resamples its own slice of the full-size wallpaper: cheaper than scaling
        # the whole wallpaper to the screen first, since only a quarter of the screen is buttons.
        s = self.wallpaper.width / 320.0
        box = (x * s, top * s, (x + 64) * s, (top + 64) * s)
        key = self.wallpaper.resize((MSD_KEY, MSD_KEY), Image.BILINEAR, box=box).convert("RGBA")
        key.alpha_composite(self.icon.resize((MSD_KEY, MSD_KEY), Image.BILINEAR))
        out = io.BytesIO()
        key.convert("RGB").save(out, "JPEG", quality=95)
        return out.getvalue()

    def buttons(self):
        return [self.button(index) for index in range(6)]

    def background(self):
        screen = self.wallpaper.resize((320, 240), Image.BILINEAR).transpose(Image.ROTATE_270)
        red, green, blue = screen.split()
        # The two parts of a byte never share a bit, so adding them is or-ing them.
        low = ImageChops.add(green.point(self.low_green), blue.point(self.low_blue))
        high = ImageChops.add(red.point(self.high_red), green.point(self.high_green))
        return Image.merge("LA", (low, high)).tobytes()


def timed(work, repetitions, min_time, per_call):
    """Medians over repetitions of the CPU and the wall time per unit, in microseconds."""
    cpu, wall = [], []
    for _ in range(repetitions):
        calls = 0
        start_cpu, start_wall = time.process_time(), time.perf_counter()
        while True:
            work()
            calls += 1
            elapsed = time.process_time() - start_cpu
            if elapsed >= min_time:
                break
        cpu.append(elapsed / calls / per_call * 1e6)
        wall.append((time.perf_counter() - start_wall) / calls / per_call * 1e6)
    return cpu, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("inputs", help="folder written by bench_artwork --peer-inputs")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--min-time", type=float, default=0.3)
    args = parser.parse_args()
    with open(os.path.join(args.inputs, "inputs.json")) as file:
        manifest = json.load(file)
    pad = DisplayPadKeys(args.inputs, manifest)
    msd = MsdTwo(args.inputs, manifest)

    frame, buttons, background = pad.frame(), msd.buttons(), msd.background()
    with open(os.path.join(args.inputs, "peer-displaypad.bgr"), "wb") as file:
        file.write(b"".join(frame))
    for index, button in enumerate(buttons):
        with open(os.path.join(args.inputs, "peer-msdtwo-%d.jpg" % index), "wb") as file:
            file.write(button)
    with open(os.path.join(args.inputs, "peer-background.565"), "wb") as file:
        file.write(background)

    results = {}
    for name, work, per_call in (("displaypad_key_us", pad.frame, 12),
                                 ("msdtwo_key_us", msd.buttons, 6),
                                 ("background_us", msd.background, 1)):
        cpu, wall = timed(work, args.repetitions, args.min_time, per_call)
        results[name] = statistics.median(cpu)
        results[name + "_samples"] = cpu
        results[name + "_wall_samples"] = wall
    results["pillow"] = Image.__version__
    json.dump(results, sys.stdout)
    print()


if __name__ == "__main__":
    main()
