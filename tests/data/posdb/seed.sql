-- A small till database: the GEN5 key definitions and a sales journal for the statement tests.
CREATE TABLE tJkPosKeyDef (ScanCode INTEGER PRIMARY KEY, FuncValue TEXT, KeyType TEXT);
INSERT INTO tJkPosKeyDef VALUES (38, '1', 'F');
INSERT INTO tJkPosKeyDef VALUES (40, '2', 'F');
INSERT INTO tJkPosKeyDef VALUES (32, '3', 'F');
INSERT INTO tJkPosKeyDef VALUES (27, '30', 'F');
INSERT INTO tJkPosKeyDef VALUES (123, '100', 'F');
CREATE TABLE tSaleJournal (code TEXT, name TEXT, price REAL, sold TEXT, qty INTEGER, photo BLOB);
INSERT INTO tSaleJournal VALUES ('A001', '矿泉水', 2.5, '2024-05-01 09:30:00', 3, X'0102');
INSERT INTO tSaleJournal VALUES ('A002', 'O''Brien tea', 12.75, '2024-05-01 10:15:00', 1, X'FF');
