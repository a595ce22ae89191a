-- The invoice example's database: customers, their orders and the orders'
-- lines. Build it with scripts/make-examples.sh (sqlite3 invoice.db < invoice.sql).
-- Dates are ISO-8601 text, which the DATE type reads as dates.
CREATE TABLE CUSTOMERS (
    ID       INTEGER PRIMARY KEY,
    NAME     TEXT NOT NULL,
    STREET   TEXT,
    CITY     TEXT,
    EMAIL    TEXT,
    BALANCE  NUMERIC
);

CREATE TABLE ORDERS (
    ID           INTEGER PRIMARY KEY,
    CUSTOMER_ID  INTEGER NOT NULL REFERENCES CUSTOMERS(ID),
    NUMBER       TEXT NOT NULL,
    ORDER_DATE   DATE NOT NULL,
    DUE_DATE     DATE NOT NULL,
    DISCOUNT_PCT REAL NOT NULL DEFAULT 0
);

CREATE TABLE ORDER_LINES (
    ID        INTEGER PRIMARY KEY,
    ORDER_ID  INTEGER NOT NULL REFERENCES ORDERS(ID),
    PRODUCT   TEXT NOT NULL,
    QTY       INTEGER NOT NULL,
    PRICE     NUMERIC NOT NULL,
    -- Stored with its declared type, so that a query reads it as a number.
    AMOUNT    NUMERIC GENERATED ALWAYS AS (QTY * PRICE) STORED
);

INSERT INTO CUSTOMERS VALUES
    (1, 'Harbour Books Ltd', '12 Quay Street', 'Portsmouth', 'orders@harbourbooks.example', 0),
    (2, 'Greenfield School', '4 Meadow Lane', 'Oxford', 'office@greenfield.example', 184.50),
    (3, 'Ana Lindqvist', 'Storgatan 8', 'Uppsala', 'ana@lindqvist.example', 0);

INSERT INTO ORDERS VALUES
    (10, 1, 'INV-2024-0101', '2024-03-04', '2024-04-03', 0),
    (11, 2, 'INV-2024-0102', '2024-03-11', '2024-04-10', 10),
    (12, 3, 'INV-2024-0103', '2024-03-18', '2024-04-17', 0),
    (13, 1, 'INV-2024-0104', '2024-03-25', '2024-04-24', 5),
    (14, 3, 'INV-2024-0105', '2024-03-28', '2024-04-27', 0);

INSERT INTO ORDER_LINES (ID, ORDER_ID, PRODUCT, QTY, PRICE) VALUES
    (100, 10, 'Desk lamp', 2, 39.90),
    (101, 10, 'Notebooks (pack of 10)', 5, 12.50),
    (102, 11, 'Whiteboard markers', 30, 1.20),
    (103, 11, 'Office chair', 4, 189.00),
    (104, 11, 'Filing cabinet', 1, 249.00),
    (105, 12, 'Reading glasses case', 1, 14.95),
    (106, 13, 'Printer paper (box)', 10, 24.00);
-- Order 14 has no lines yet: its invoice shows an empty table and zero totals.
