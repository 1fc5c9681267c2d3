#!/usr/bin/env python3
"""Writes samples/演习示例.pln: about twenty units on the exercise bitmap map
(40 km x 30 km) with moves, strikes that hit their targets, a load and an
unload, appearing over the first ten minutes.

    python3 tools/sample/make_sample_plan.py [OUTPUT]
"""
import sys
from pathlib import Path
from xml.sax.saxutils import escape, quoteattr

START = 1716163200          # 2024-05-20 08:00:00 +08:00
END = START + 30 * 60

CLASSES = {
    "01.01": "运输直升机", "01.02": "登陆舰", "01.03": "运输卡车",
    "02-01.01": "步兵战车", "02-01.02": "装甲输送车",
    "02-02.01": "主战坦克", "02-02.02": "步兵分队", "02-02.03": "自行火炮",
    "02-02.04": "侦察车", "02-02.05": "防空导弹车",
}
KIND_TYPE = {"01": 1, "02-01": 21, "02-02": 22}


def move(t, speed, *points):
    return dict(type=1, name="移动", time=t, Speed=speed, points=points)


def strike(t, weapon, times, target):
    return dict(type=2, name="打击", time=t, BulletType=weapon, HitTime=times, points=[target])


def turn(t, angle):
    return dict(type=3, name="转向", time=t, Angle=angle, points=[])


def load(t, unit_no):
    return dict(type=4, name="装载", time=t, UnitNo=unit_no, points=[])


def unload(t, unit_no, point):
    return dict(type=5, name="卸载", time=t, UnitNo=unit_no, points=[point])


# (UnitNo, name, class id, x km, y km, appear s, angle, actions)
BLUE_TANK_1 = (30.0, 15.0)
BLUE_TANK_2 = (31.0, 20.0)
RED_AIR_DEFENCE = (14.0, 26.0)
BLUE_AIR_DEFENCE = (33.0, 13.0)
UNITS = [
    (1, "红坦克一连", "02-02.01", 10.0, 12.0, 0, 0, [move(1, 3000, (10, 12), (18, 12), (22, 14))]),
    (2, "红坦克二连", "02-02.01", 10.0, 14.5, 0, 0, [move(20, 2500, (10, 14.5), (17, 15.5), (21, 17))]),
    (3, "红炮兵一营", "02-02.03", 6.0, 10.0, 0, 0, [strike(3, "03.01", 2, BLUE_TANK_1)]),
    (4, "红炮兵二营", "02-02.03", 6.0, 18.0, 30, 0, [strike(60, "03.02", 1, BLUE_TANK_2)]),
    (5, "运输直升机1号", "01.01", 4.0, 24.0, 0, 0,
     [load(15, 6), move(30, 6000, (4, 24), (12, 22), (20, 23)), unload(200, 6, (20.5, 23.5))]),
    (6, "突击分队", "02-02.02", 4.0, 24.5, 0, 0, [move(210, 1500, (20.5, 23.5), (23, 22))]),
    (7, "红步兵战车", "02-01.01", 8.0, 6.0, 60, 0, [move(65, 3000, (8, 6), (15, 7), (20, 9))]),
    (8, "红侦察车", "02-02.04", 12.0, 4.0, 90, 0, [move(95, 5000, (12, 4), (24, 5), (28, 8))]),
    (9, "红防空导弹车", "02-02.05", *RED_AIR_DEFENCE, 0, 0, [turn(150, 45)]),
    (10, "红装甲输送车", "02-01.02", 9.0, 20.0, 180, 0, [move(185, 2500, (9, 20), (15, 19), (19, 18))]),
    (11, "蓝坦克一连", "02-02.01", *BLUE_TANK_1, 0, 180, []),
    (12, "蓝坦克二连", "02-02.01", *BLUE_TANK_2, 0, 180, []),
    (13, "蓝炮兵营", "02-02.03", 36.0, 10.0, 0, 180, [strike(240, "03.03", 2, RED_AIR_DEFENCE)]),
    (14, "蓝步兵战车", "02-01.01", 35.0, 22.0, 120, 180, [move(125, 2500, (35, 22), (29, 23), (26, 21))]),
    (15, "蓝侦察车", "02-02.04", 34.0, 5.0, 200, 180, [move(205, 4000, (34, 5), (27, 6), (24, 9))]),
    (16, "蓝登陆舰", "01.02", 38.0, 28.0, 300, 180, [move(305, 3000, (38, 28), (33, 28.5), (30, 27))]),
    (17, "蓝运输卡车", "01.03", 25.0, 27.0, 360, 0, [move(365, 4000, (25, 27), (29, 25), (33, 24))]),
    (18, "蓝防空导弹车", "02-02.05", *BLUE_AIR_DEFENCE, 420, 180, []),
    (19, "红炮兵三营", "02-02.03", 7.0, 14.0, 480, 0, [strike(600, "03.04", 1, BLUE_AIR_DEFENCE)]),
    (20, "红坦克三连", "02-02.01", 11.0, 16.5, 540, 0, [move(545, 3000, (11, 16.5), (18, 18), (24, 18.5))]),
]


def element(tag, text):
    return f"<{tag}>{escape(str(text))}</{tag}>"


def action_xml(no, a):
    parts = [element("ActionNo", no), element("ActionName", a["name"]), element("ActionType", a["type"]),
             element("ActionTime", a["time"])]
    if a["type"] == 1:
        parts += [element("Speed", f"{a['Speed']:.6f}"), element("AllTime", 0)]
    elif a["type"] == 2:
        parts += [element("BulletType", a["BulletType"]), element("HitTime", a["HitTime"])]
    elif a["type"] == 3:
        parts += [element("Angle", f"{a['Angle']:f}")]
    else:
        parts += [element("UnitNo", a["UnitNo"])]
    coords = "".join(f'<Coordinate X="{x:f}" Y="{y:f}" Z="{0:f}"/>' for x, y in a["points"])
    parts.append(f"<Route>{coords}</Route>")
    return f'<action class="{a["type"]}">' + "".join(parts) + "</action>"


def unit_xml(no, name, cls, x, y, appear, angle, actions):
    image = CLASSES[cls]
    kind = cls.split(".")[0]
    parts = [element("UnitNo", no), element("UnitType", KIND_TYPE[kind]), element("UnitName", name),
             element("UnitBitmap", f"NormalBitmap\\{image}.bmp"),
             element("UnitBitmapMask", f"NormalBitmap\\{image}_Mask.bmp"),
             element("RelativeCoordinateX", f"{x:f}"), element("RelativeCoordinateY", f"{y:f}"),
             element("AppearTime", appear), element("Angle", f"{angle:f}"),
             f'<CustomPropertyList><Property ID="1" name="所属" value={quoteattr("红方" if name.startswith("红") or no in (5, 6) else "蓝方")}/></CustomPropertyList>',
             "<actionlist>" + "".join(action_xml(i + 1, a) for i, a in enumerate(actions)) + "</actionlist>"]
    return f"<unit name={quoteattr(name)} class={quoteattr(cls)}>" + "".join(parts) + "</unit>"


def plan_xml():
    units = "".join(unit_xml(*u) for u in UNITS)
    layer = ('<Layer name="演习区域"><map name="演习示例" source="演习区域.bmp" maptype="0" WidthKm="40" '
             'HeightKm="30"/>' f"<unitlist>{units}</unitlist></Layer>")
    return (f'<?xml version="1.0" encoding="utf-8" ?>\r\n<plan StartTime="{START}" EndTime="{END}">\r\n'
            f"{layer}</plan>")


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parents[2] / "samples" / "演习示例.pln"
    out.write_text(plan_xml(), encoding="utf-8", newline="")
    print(out)


if __name__ == "__main__":
    main()
