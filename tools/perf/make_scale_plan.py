#!/usr/bin/env python3
"""Writes a plan at full scale for timing playback: one layer on the
exercise bitmap map (40 km x 30 km) with UNITS units, each with three moves
of ten points (each about half a minute long), and STRIKERS of them
striking a point near another unit.

    python3 tools/perf/make_scale_plan.py OUTPUT [UNITS [STRIKERS]]

Time it with tarnwick-replay (ms per tick = (t(--until 120) - t(--until 0)) / 600).
"""
import random
import sys
from pathlib import Path

START = 1716163200
END = START + 10 * 60
KINDS = [("02-02.01", "主战坦克"), ("02-02.03", "自行火炮"), ("02-02.04", "侦察车")]
WEAPONS = ["03.01", "03.02", "03.03", "03.04"]


def coords(points):
    return "".join(f'<Coordinate X="{x:f}" Y="{y:f}" Z="0.000000"/>' for x, y in points)


def action(no, name, kind, time, fields, points):
    return (f'<action class="{kind}"><ActionNo>{no}</ActionNo><ActionName>{name}</ActionName>'
            f"<ActionType>{kind}</ActionType><ActionTime>{time}</ActionTime>{fields}"
            f"<Route>{coords(points)}</Route></action>")


def main():
    out = Path(sys.argv[1])
    units = int(sys.argv[2]) if len(sys.argv) > 2 else 25600
    strikers = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    rnd = random.Random(7)
    positions = [(rnd.uniform(2, 38), rnd.uniform(2, 28)) for _ in range(units)]
    strike_every = max(1, units // strikers) if strikers else 0
    parts = []
    for i in range(units):
        cls, image = KINDS[i % len(KINDS)]
        x, y = positions[i]
        actions = []
        for m in range(3):
            route = [(x, y)]
            for _ in range(9):
                x = min(39.5, max(0.5, x + rnd.uniform(-0.3, 0.3)))
                y = min(29.5, max(0.5, y + rnd.uniform(-0.3, 0.3)))
                route.append((x, y))
            actions.append(action(m + 1, "移动", 1, 1 + 40 * m + rnd.randrange(5),
                                  f"<Speed>{rnd.uniform(5000, 8000):.6f}</Speed><AllTime>0</AllTime>", route))
        if strike_every and i % strike_every == 0 and i // strike_every < strikers:
            tx, ty = positions[rnd.randrange(units)]
            actions.append(action(4, "打击", 2, 2 + rnd.randrange(110),
                                  f"<BulletType>{rnd.choice(WEAPONS)}</BulletType><HitTime>{rnd.randint(1, 3)}</HitTime>",
                                  [(tx, ty)]))
        px, py = positions[i]
        parts.append(
            f'<unit name="单位{i}" class="{cls}"><UnitNo>{i}</UnitNo><UnitType>22</UnitType>'
            f"<UnitName>单位{i}</UnitName><UnitBitmap>NormalBitmap\\{image}.bmp</UnitBitmap>"
            f"<UnitBitmapMask>NormalBitmap\\{image}_Mask.bmp</UnitBitmapMask>"
            f"<RelativeCoordinateX>{px:f}</RelativeCoordinateX><RelativeCoordinateY>{py:f}</RelativeCoordinateY>"
            f"<AppearTime>0</AppearTime><Angle>0.000000</Angle><CustomPropertyList/>"
            f"<actionlist>{''.join(actions)}</actionlist></unit>")
    layer = ('<Layer name="演习区域"><map name="演习示例" source="演习区域.bmp" maptype="0" WidthKm="40" '
             f'HeightKm="30"/><unitlist>{"".join(parts)}</unitlist></Layer>')
    out.write_text(f'<?xml version="1.0" encoding="utf-8" ?>\r\n<plan StartTime="{START}" EndTime="{END}">\r\n'
                   f"{layer}</plan>", encoding="utf-8", newline="")


if __name__ == "__main__":
    main()
