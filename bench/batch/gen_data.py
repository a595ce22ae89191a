#!/usr/bin/env python3
"""Writes the letters' database: N customers, each with one to five order
lines, the same for the same N on every machine.

    gen_data.py N FILE
"""
import random
import sqlite3
import sys

FIRST = ["Ada", "Brian", "Chloé", "Dmitri", "Eva", "Farid", "Grace", "Hanna", "Ivo", "Jonas"]
LAST = ["Lindqvist", "O'Neill", "Müller", "Okafor", "Novak", "Santos", "Kowalski", "Brennan"]
ITEMS = ["paper A4, 500 sheets", "toner cartridge", "stapler", "ring binder", "desk lamp",
         "envelopes C5 {50}", "marker set", "archive box", "label printer", "cable \\ adapter"]
CITIES = ["Bristol", "Leeds", "Cork", "Zürich", "Gdańsk", "Porto"]


def main():
    count, path = int(sys.argv[1]), sys.argv[2]
    rng = random.Random(count)
    db = sqlite3.connect(path)
    db.executescript("""
        DROP TABLE IF EXISTS customers; DROP TABLE IF EXISTS lines;
        CREATE TABLE customers (id INTEGER PRIMARY KEY, number TEXT, name TEXT,
                                street TEXT, city TEXT, balance REAL);
        CREATE TABLE lines (customer_id INTEGER, line INTEGER, item TEXT, qty INTEGER,
                            price REAL);
        CREATE INDEX lines_customer ON lines (customer_id, line);
    """)
    customers, lines = [], []
    for i in range(1, count + 1):
        name = f"{rng.choice(FIRST)} {rng.choice(LAST)}"
        balance = 0.0 if rng.random() < 0.6 else round(rng.uniform(5, 900), 2)
        customers.append((i, f"C{i:06d}", name, f"{rng.randint(1, 300)} Mill Lane",
                          rng.choice(CITIES), balance))
        for line in range(1, rng.randint(1, 5) + 1):
            lines.append((i, line, rng.choice(ITEMS), rng.randint(1, 20),
                          round(rng.uniform(0.5, 120), 2)))
    db.executemany("INSERT INTO customers VALUES (?, ?, ?, ?, ?, ?)", customers)
    db.executemany("INSERT INTO lines VALUES (?, ?, ?, ?, ?)", lines)
    db.commit()
    db.close()


if __name__ == "__main__":
    main()
