#!/usr/bin/env python3
"""Writes a legacy export set of the DOS payroll generation: the eighteen
yp*.txt files a conversion reads, for one invented company.

The files look like the old exports: fixed-width records, one a line, code
page 852, CR LF line ends, and a closing line of its own (a DOS end-of-file
mark, Ctrl-Z), which the conversion never reads as a record.

Everything is drawn from a seeded random generator, so the same arguments
always give the same bytes. examples/legacy/ is this script's output with its
defaults; the benchmark asks it for a bigger company.

    scripts/make-legacy-example.py [--out DIR] [--persons N] [--months M]
                                   [--time-items T] [--seed S]
"""

import argparse
import os
import random

END_OF_FILE = b"\x1a"  # the last line: never a record

SURNAMES = ["Kovács", "Szabó", "Tóth", "Nagy", "Horváth", "Varga", "Kiss", "Molnár",
            "Németh", "Farkas", "Balogh", "Papp", "Takács", "Juhász", "Lakatos", "Mészáros",
            "Oláh", "Simon", "Rácz", "Fekete", "Szűcs", "Török", "Győri", "Bíró"]
MEN = ["István", "László", "József", "János", "Zoltán", "Sándor", "Gábor", "Ferenc",
       "Attila", "Péter", "Tamás", "Ödön", "Béla", "Géza", "Árpád", "Lőrinc"]
WOMEN = ["Mária", "Erzsébet", "Katalin", "Éva", "Ilona", "Anna", "Zsuzsanna", "Judit",
         "Ágnes", "Júlia", "Edit", "Tünde", "Enikő", "Ildikó", "Orsolya", "Réka"]
CITIES = [("1011", "Budapest"), ("6720", "Szeged"), ("4024", "Debrecen"), ("7621", "Pécs"),
          ("9021", "Győr"), ("3525", "Miskolc"), ("8000", "Székesfehérvár"), ("2800", "Tatabánya"),
          ("5000", "Szolnok"), ("8200", "Veszprém")]
STREETS = ["Fő utca", "Kossuth Lajos utca", "Petőfi Sándor utca", "Rákóczi út", "Árpád út",
           "Dózsa György út", "Széchenyi tér", "Bartók Béla út", "Jókai Mór utca", "Ady Endre út"]
MONTHS = ["Január", "Február", "Március", "Április", "Május", "Június", "Július",
          "Augusztus", "Szeptember", "Október", "November", "December"]
# The month the old program stood at when the company was exported.
PROCESSING_MONTH = 11


class Record:
    """One fixed-width line: texts placed at 1-based positions over blanks."""

    def __init__(self, length):
        self.chars = [" "] * length

    def put(self, pos, width, text):
        text = str(text)
        if len(text) > width:
            raise ValueError(f"{text!r} is wider than {width} at {pos}")
        end = pos - 1 + width
        if end > len(self.chars):
            self.chars.extend(" " * (end - len(self.chars)))
        self.chars[pos - 1:pos - 1 + len(text)] = list(text)
        return self

    def num(self, pos, width, value):
        """A number right-aligned in its field, as the old program wrote them."""
        return self.put(pos, width, str(value).rjust(width))

    def amount(self, pos, width, value):
        return self.num(pos, width, f"{value:.2f}")

    def date(self, pos, year, month, day):
        return self.put(pos, 8, f"{year:04d}{month:02d}{day:02d}")

    def text(self):
        return "".join(self.chars)


def write_file(directory, name, records, encoding="cp852"):
    data = b"".join(r.text().encode(encoding) + b"\r\n" for r in records) + END_OF_FILE
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


def person_code(n):
    return f"{n:011d}"


class Company:
    def __init__(self, args):
        self.rng = random.Random(args.seed)
        self.months = args.months
        self.time_items = args.time_items
        self.persons = [self.make_person(1000 + i) for i in range(args.persons)]

    def make_person(self, number):
        rng = self.rng
        woman = rng.random() < 0.5
        first = rng.choice(WOMEN if woman else MEN)
        surname = rng.choice(SURNAMES)
        zip_code, city = rng.choice(CITIES)
        born = (rng.randint(1950, 1990), rng.randint(1, 12), rng.randint(1, 28))
        joined = (rng.randint(1995, 2008), rng.randint(1, 12), 1)
        left = (2009, rng.randint(3, 10), 30) if rng.random() < 0.08 else None
        return {
            "code": person_code(number),
            "name": f"{surname} {first}",
            "surname": surname,
            "first": first,
            "woman": woman,
            "zip": zip_code,
            "city": city,
            "street": f"{rng.choice(STREETS)} {rng.randint(1, 120)}.",
            "born": born,
            "birthplace": rng.choice(CITIES)[1],
            "joined": joined,
            "left": left,
            "salary": rng.randrange(180000, 900000, 5000),
            "unit": rng.choice(["   100", "   200", "   300"]),
            "place": rng.choice(["     1", "     2"]),
            "children": rng.choice([0, 0, 0, 1, 1, 2, 3]),
            "fund": rng.random() < 0.6,
        }

    # Step 1: payroll item types.
    def ypjt(self):
        types = [("101", "Alapbér", 0, "1,2", "1,2,3"), ("102", "Túlóra", 3, "3", "1,5"),
                 ("103", "Prémium", 1, "", "1"), ("110", "Távolléti díj", 10, "12,13", "2,3"),
                 ("120", "Betegszabadság", 12, "21,22", "4"), ("130", "Jutalom", 2, "", "1,250"),
                 ("201", "Személyi jövedelemadó", 19, "", "7"), ("210", "Nyugdíjjárulék", 4, "", "8"),
                 ("220", "Egészségbizt. járulék", 5, "", "9"), ("230", "Munkavállalói járulék", 6, "", "10"),
                 ("240", "Szakszervezeti tagdíj", 7, "", "11"), ("250", "Étkezési hozzájárulás", 8, "", "12")]
        records = []
        for code, name, base, times, numbers in types:
            r = Record(598)
            r.put(1, 3, code).put(4, 30, name).num(34, 3, 1).put(37, 2, "01" if code < "200" else "02")
            r.num(39, 2, 1).num(41, 2, base)
            r.num(43, 6, "100.00" if code == "101" else "").num(49, 6, 0)
            r.put(55, 120, times).put(175, 60, numbers)
            r.put(235, 21, "IINNNINNNNNNNINNNNNNN").put(265, 2, "01").put(267, 1, "1")
            r.num(268, 1, self.rng.randint(0, 9)).num(269, 7, 0).num(276, 7, 0)
            r.put(283, 1, "N").put(284, 1, "N")
            for pos in (285, 288, 291, 294, 297, 300, 303, 306):
                r.num(pos, 3, 0)
            r.put(309, 9, f"47{code}00").put(318, 9, f"54{code}00").num(337, 6, "1.01")
            for pos in (583, 587, 591, 595):
                r.put(pos, 4, "0000")
            records.append(r)
        return records

    # Step 2: the person master.
    def ypszt(self):
        records = []
        for p in self.persons:
            r = Record(430)
            r.put(1, 11, p["code"]).put(12, 3, "001").put(15, 27, p["name"])
            r.put(42, 1, "T").put(43, 1, " ").put(44, 3, "  1")
            r.put(49, 8, "    2511").put(57, 9, "   100000")
            r.put(99, 6, p["place"]).put(105, 6, p["unit"]).put(111, 1, "1").put(112, 2, "01")
            r.put(114, 2, "01").put(116, 2, "08").put(118, 4, "0040").put(122, 2, "01")
            r.put(146, 1, "N").num(147, 2, 1).num(149, 2, 1)
            r.date(151, *p["joined"])
            if p["left"]:
                r.date(159, *p["left"])
            for pos in (183, 186, 189, 192):
                r.num(pos, 3, 20 + self.rng.randint(0, 9))
            for pos in (195, 198, 201, 204, 207, 210, 213, 216, 219, 222, 225):
                r.num(pos, 3, 0)
            r.amount(232, 12, 0).amount(244, 12, p["salary"]).amount(256, 12, 0).amount(268, 12, 0)
            r.put(424, 1, "I").put(425, 1, "N").put(426, 1, "N")
            records.append(r)
        return records

    # Steps 3 and 19: personal details, and the tax flags of the second pass.
    def ypsztsz(self):
        records = []
        for p in self.persons:
            r = Record(840)
            r.put(1, 11, p["code"]).date(72, *p["born"]).put(80, 1, "2" if p["woman"] else "1")
            r.put(91, 4, "0000").put(95, 20, p["birthplace"])
            r.put(115, 4, p["zip"]).put(119, 20, p["city"]).put(139, 30, p["street"])
            r.put(324, 10, f"8{self.rng.randrange(10**8, 10**9)}")
            r.put(334, 9, f"{self.rng.randrange(10**8, 10**9)}")
            r.put(343, 8, f"{self.rng.randrange(100000, 999999)}AB")
            r.date(355, 2014, self.rng.randint(1, 12), 15)
            r.put(423, 1, "N").put(424, 1, "I").num(431, 6, 100)
            r.put(648, 3, "HU")  # the blank after it goes at the end of the run
            r.put(691, 30, p["surname"]).put(721, 30, p["first"])
            r.put(781, 30, self.rng.choice(SURNAMES)).put(811, 30, self.rng.choice(WOMEN))
            records.append(r)
        return records

    # Step 4: payroll items (written without accents: the file is not converted).
    def ypjogc(self):
        records = []
        for p in self.persons:
            for code, amount in (("101", p["salary"]), ("250", 12000)):
                r = Record(160)
                r.put(1, 1, "A").put(2, 11, p["code"]).num(13, 3, 1).num(16, 3, 1)
                r.num(19, 2, PROCESSING_MONTH).num(21, 3, 1).put(30, 3, code).num(33, 8, amount)
                for pos in (41, 49, 57, 65, 73):
                    r.num(pos, 8, 0)
                r.num(87, 8, 0).num(95, 8, 0).put(103, 1, "+").put(104, 6, "000000")
                r.num(110, 8, 0).num(118, 8, 0).num(126, 8, 0)
                r.put(148, 2, "10").num(154, 6, 0)
                records.append(r)
        return records

    # Step 5: related persons (the children).
    def ypcsp(self):
        records = []
        for p in self.persons:
            for k in range(p["children"]):
                r = Record(86)
                r.put(1, 11, p["code"]).put(12, 50, f"{p['surname']} {self.rng.choice(MEN + WOMEN)}")
                r.put(62, 9, f"{self.rng.randrange(10**8, 10**9)}")
                if k < 2:
                    r.date(71, self.rng.randint(1995, 2008), self.rng.randint(1, 12), 10)
                r.put(79, 1, "G").num(80, 6, "1.01")
                records.append(r)
        return records

    # Step 6: ledger accounts.
    def yptuk(self):
        accounts = [("471000000", "Bérek elszámolása"), ("472000000", "Járulékok elszámolása"),
                    ("541000000", "Bérköltség"), ("561000000", "Társadalombiztosítási járulék"),
                    ("462000000", "Személyi jövedelemadó elszámolása")]
        return [Record(59).put(1, 9, a).put(10, 50, t) for a, t in accounts]

    # Step 7: standing payroll items (not converted).
    def ypkj(self):
        records = []
        for p in self.persons:
            if not p["fund"]:
                continue
            r = Record(70)
            r.put(1, 11, p["code"]).put(12, 3, "240").num(44, 3, 1).num(47, 6, 0)
            r.num(53, 6, "1.00").put(59, 12, "IIIIIIIIIIII")
            records.append(r)
        return records

    # Step 8: fund memberships.
    def yptag(self):
        records = []
        for p in self.persons:
            if not p["fund"]:
                continue
            r = Record(77)
            r.put(1, 11, p["code"]).put(12, 1, "1").put(13, 2, "01").put(15, 4, "0001")
            r.put(19, 15, f"{self.rng.randrange(10**9, 10**10)}").date(34, *p["joined"])
            r.num(68, 10, 4000)
            records.append(r)
        return records

    # Step 9: the journal of closed months.
    def ynaplo(self):
        records = []
        n = len(self.persons)
        for month in range(1, PROCESSING_MONTH):
            r = Record(151)
            r.date(1, 2009, month, 28)
            for pos, count in ((23, n), (30, n * 2), (39, n), (46, n), (53, n), (60, n * 2),
                               (67, 139), (74, n), (81, n * self.time_items // 12), (95, 12)):
                r.num(pos, 7, count)
            r.put(116, 3, f"0{month:02d}").put(122, 30, f"{MONTHS[month - 1]} lezárva")
            records.append(r)
        return records

    # Step 10: parameter settings; NAPHO names the processing month.
    def ypuy(self):
        settings = [("CEGNEV", "C", "Példa Bérszámfejtő Kft.", 40),
                    ("ADOSZAM", "C", "12345678-2-41", 13),
                    ("NAPHO", "N", f"{PROCESSING_MONTH}", PROCESSING_MONTH),
                    ("NAPEV", "N", "2009", 4),
                    ("TELEPHELY", "C", "Budapest, Fő utca 1.", 40)]
        return [Record(116).put(1, 12, name).put(13, 1, kind).put(14, 80, value).num(114, 3, length)
                for name, kind, value, length in settings]

    # Step 11: the periods of the year, one a month, in order.
    def ypszak(self):
        records = []
        for month in range(12):
            workdays = 20 + (month % 3)
            r = Record(70)
            r.put(1, 10, MONTHS[month]).num(11, 3, 28).put(14, 6, f"2009{month + 1:02d}")
            closed = "T" if month + 1 < PROCESSING_MONTH else " "
            r.put(20, 1, closed).put(21, 1, closed).put(22, 31, "Naptár szerinti")
            r.num(53, 2, workdays).num(55, 2, 0).num(57, 2, 31 - workdays - 1).num(59, 2, 1)
            r.num(61, 5, 0).num(66, 5, 0)
            records.append(r)
        return records

    def month_numbers(self):
        return range(1, min(self.months, 12) + 1)

    # Step 12: monthly working time.
    def ypido(self):
        records = []
        for p in self.persons:
            for month in self.month_numbers():
                r = Record(78)
                r.put(1, 11, p["code"]).num(16, 2, month).num(18, 3, 1).num(21, 3, 1)
                r.date(24, 2009, month, 1).date(32, 2009, month, 28)
                r.put(40, 31, "Naptár szerinti").num(71, 2, 21).num(73, 2, 0).num(75, 2, 8)
                r.num(77, 2, 1)
                records.append(r)
        return records

    # Step 13: absence and time items.
    def yptido(self):
        records = []
        for p in self.persons:
            for k in range(self.time_items):
                month = 1 + k * 12 // max(self.time_items, 1)
                code = self.rng.choice([1, 1, 1, 2, 12, 13, 21])
                start = self.rng.randint(1, 20)
                days = self.rng.randint(1, 5)
                r = Record(54)
                r.put(1, 11, p["code"]).num(16, 2, month).num(18, 3, 1).num(21, 3, 1)
                r.num(24, 3, code).num(27, 2, start).num(29, 2, start + days - 1)
                r.num(31, 3, days).num(34, 3, days).num(37, 6, f"{days * 8:.2f}")
                r.num(43, 3, 0).num(46, 6, "0.00").put(53, 2, "10")
                records.append(r)
        return records

    # Step 14: yearly totals.
    def yphavih(self):
        records = []
        for p in self.persons:
            r = Record(788)
            r.put(1, 11, p["code"])
            total = p["salary"] * min(self.months, 12)
            for pos in range(12, 576, 12):
                r.amount(pos, 12, 0)
            r.amount(36, 12, total).amount(60, 12, total).amount(84, 12, total * 0.095)
            r.amount(156, 12, total * 0.17)
            r.num(576, 3, 0).num(579, 3, 0)
            for pos in list(range(582, 726, 12)) + [728, 740, 752, 764]:
                r.amount(pos, 12, 0)
            r.put(786, 2, "10")
            records.append(r)
        return records

    # Step 15: monthly results with the month's tax settings.
    def yphavi(self):
        records = []
        for p in self.persons:
            for month in self.month_numbers():
                salary = p["salary"]
                r = Record(1348)
                r.put(1, 11, p["code"]).num(12, 2, month).num(14, 10, salary).put(24, 1, "I")
                r.num(50, 10, f"{salary / 174:.2f}").put(60, 1, "I").put(61, 10, "  ")
                for pos in [71, 83, 95, 107] + list(range(121, 649, 12)):
                    r.amount(pos, 12, 0)
                r.put(119, 1, "N")  # the second pass sets the processing month's
                r.amount(71, 12, salary).amount(95, 12, salary).amount(121, 12, salary)
                r.amount(157, 12, salary * 0.095).amount(241, 12, salary * 0.17)
                r.amount(181, 12, 0)
                r.put(717, 20, "").num(797, 3, 0).num(800, 3, 0)
                for pos in list(range(803, 899, 12)) + list(range(900, 972, 12)) + [1002, 1014]:
                    r.amount(pos, 12, 0)
                r.put(899, 1, "N")
                r.num(972, 7, "0.00").num(979, 5, "0.00").num(987, 7, "0.00").num(994, 5, "0.00")
                for pos in range(1026, 1091, 5):
                    r.num(pos, 5, "0.00")
                r.put(1139, 1, "N")
                for pos in (1091, 1103, 1115, 1127, 1140, 1152, 1164):
                    r.amount(pos, 12, 0)
                r.amount(1164, 12, salary * 0.67)
                r.put(1176, 2, "10").put(1178, 2, "10").num(1191, 5, "0.00").num(1196, 5, "0.00")
                r.put(1201, 1, "N")
                for pos in (1202, 1214, 1226, 1300, 1324, 1336):
                    r.amount(pos, 12, 0)
                records.append(r)
        return records

    # Step 16: the company's own codes.
    def ypkod(self):
        codes = [("K", 1, "Pénztár"), ("K", 2, "Bankszámla"), ("S", 100, "Igazgatóság"),
                 ("S", 200, "Gazdasági osztály"), ("S", 300, "Termelés"),
                 ("P", 1, "Országos Önkéntes Nyugdíjpénztár")]
        return [Record(90).put(1, 1, t).num(3, 8, k).put(11, 80, n) for t, k, n in codes]

    # Step 17: the yearly pay sheet lines.
    def ybelap9(self):
        records = []
        for p in self.persons:
            for line, amount in ((1, p["salary"] * 12), (2, p["salary"] * 12 * 0.17)):
                r = Record(49)
                r.put(1, 11, p["code"]).put(12, 1, "A").num(13, 3, line)
                r.num(18, 8, int(amount)).num(26, 8, 0).num(34, 8, 0).num(42, 8, 0)
                records.append(r)
        return records

    # Step 18: bank transfers.
    def yput(self):
        records = []
        for p in self.persons:
            r = Record(145)
            r.put(1, 11, p["code"]).put(18, 30, p["name"]).put(48, 4, p["zip"])
            r.put(52, 20, p["city"]).put(72, 30, p["street"])
            r.put(102, 24, f"11773016{self.rng.randrange(10**7, 10**8)}00000000")
            r.put(126, 20, "Munkabér")
            records.append(r)
        return records


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(here, "..", "examples", "legacy"))
    parser.add_argument("--persons", type=int, default=36)
    parser.add_argument("--months", type=int, default=PROCESSING_MONTH)
    parser.add_argument("--time-items", type=int, default=6)
    parser.add_argument("--seed", type=int, default=2009)
    args = parser.parse_args()

    company = Company(args)
    os.makedirs(args.out, exist_ok=True)
    unconverted = {"ypjogc.txt", "ypkj.txt"}
    for name, make in (("ypjt.txt", company.ypjt), ("ypszt.txt", company.ypszt),
                       ("ypsztsz.txt", company.ypsztsz), ("ypjogc.txt", company.ypjogc),
                       ("ypcsp.txt", company.ypcsp), ("yptuk.txt", company.yptuk),
                       ("ypkj.txt", company.ypkj), ("yptag.txt", company.yptag),
                       ("ynaplo.txt", company.ynaplo), ("ypuy.txt", company.ypuy),
                       ("ypszak.txt", company.ypszak), ("ypido.txt", company.ypido),
                       ("yptido.txt", company.yptido), ("yphavih.txt", company.yphavih),
                       ("yphavi.txt", company.yphavi), ("ypkod.txt", company.ypkod),
                       ("ybelap9.txt", company.ybelap9), ("yput.txt", company.yput)):
        write_file(args.out, name, make(), "ascii" if name in unconverted else "cp852")


if __name__ == "__main__":
    main()
