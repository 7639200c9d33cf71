-- The sample SQL Server database "Sales" for the demo server: SQL Server column types as declared
-- names, values stored the SQLite way (dates as ISO 8601 text, binary as BLOB). SQLite gives decimal,
-- numeric and money columns NUMERIC affinity, which rounds a number text to 15 significant digits, so
-- longer exact numbers are stored as the BLOB of their text; the demo server reads them exactly.
PRAGMA journal_mode = DELETE;
BEGIN;

CREATE TABLE Customers (
    CustomerID int NOT NULL PRIMARY KEY,
    CompanyName nvarchar(40) NOT NULL,
    ContactName nvarchar(30),
    Country varchar(15),
    Phone varchar(24),
    Rating tinyint,
    IsActive bit,
    CreditLimit money,
    Since date,
    RowGuid uniqueidentifier,
    Notes [nvarchar(max)]
);
INSERT INTO Customers VALUES
 (1, 'Alfreds Futterkiste', 'Maria Anders', 'Germany', '030-0074321', 5, 1, '15000.0000', '1998-03-01', '6F9619FF-8B86-D011-B42D-00C04FC964FF', 'Prefers delivery before noon.'),
 (2, 'O''Neil & Sons', 'Seán O''Neil', 'Ireland', '+353 1 555 0100', 4, 1, '2500.5000', '2004-11-30', 'A0EEBC99-9C0B-4EF8-BB6D-6BB9BD380A11', 'Commas, quotes ''like this'' and
a second line.'),
 (3, 'Société Générale du Café', 'Zoë Lefèvre', 'France', NULL, 3, 0, '0.0000', '2019-02-28', '00000000-0000-0000-0000-000000000000', 'Unicode: Ünïcødé ✓ € — 日本語 😀'),
 (4, 'Nakamura 株式会社', '中村 太郎', 'Japan', '03-5555-1234', 2, 1, CAST('922337203685477.5807' AS BLOB), '2024-02-29', 'FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF', NULL),
 (5, 'Łódź Trading Sp. z o.o.', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);

CREATE TABLE Products (
    ProductID int NOT NULL PRIMARY KEY,
    ProductName nvarchar(40) NOT NULL,
    Code nchar(8),
    Sku char(10),
    UnitPrice numeric(10,2),
    UnitsInStock smallint,
    TotalSold bigint,
    Weight real,
    Description text,
    LongDescription ntext,
    Thumbnail varbinary(64),
    Checksum binary(4),
    Picture [varbinary(max)]
);
INSERT INTO Products VALUES
 (1, 'Chai', 'CH-001', 'SKU0000001', '18.00', 39, 8000000000, 0.5, 'Black tea, 20 bags', 'Black tea, 20 bags — ☕', X'89504E470D0A1A0A', X'DEADBEEF', X'FFD8FFE000104A464946'),
 (2, 'Chef Anton''s Cajun Seasoning', 'CA-002', 'SKU0000002', '22.35', 53, 0, 1.25, 'Spicy, hot; "authentic"', 'Épicé, chaud', X'', X'00000001', X''),
 (3, 'Grandma''s Boysenberry Spread', NULL, NULL, '-0.01', -32768, -9223372036854775808, -3.4e38, NULL, NULL, NULL, NULL, NULL),
 (4, 'Uncle Bob''s Organic Pears', 'UB-004', 'SKU4', '99999999.99', 32767, 9223372036854775807, 3.4e38, 'Line one
Line two', 'Zeile eins
Zeile zwei', X'00FF00FF', X'01', CAST(substr(replace(hex(zeroblob(149797)), '00', 'Quill7!'), 1, 1048576) AS BLOB));

CREATE TABLE Orders (
    OrderID int NOT NULL PRIMARY KEY,
    CustomerID int,
    OrderDate datetime,
    RequiredDate smalldatetime,
    ShippedAt datetime2,
    DeliveryWindow time,
    Freight smallmoney,
    Total decimal(12,4),
    Status char(1),
    Comment [varchar(max)],
    Scan image
);
INSERT INTO Orders VALUES
 (10248, 1, '2021-08-31 14:05:00', '2021-09-14 00:00:00', '2021-09-02 08:15:30.1234567', '08:15:00', '32.3800', '440.0000', 'S', 'Deliver to the back door, ring twice.', X'FFD8FFE000104A4649460001'),
 (10249, 2, '2021-09-01 00:00:00', '2021-09-15 12:30:00', '2021-09-01 00:00:00', '00:00:00', '11.6100', '1863.4000', 'P', 'Customer said: "fragile", handle with care;
second line, with commas, and ''quotes''.', X'00'),
 (10250, 4, '2024-02-29 23:59:59.997', '2079-06-06 23:59:00', '9999-12-31 23:59:59.9999999', '23:59:59.9999999', '-214748.3648', '-99999999.9999', 'C', 'Ünïcødé is stored as Windows-1252 in varchar: € ok, 日本 lost', X''),
 (10251, 3, '1753-01-01 00:00:00', '1900-01-01 00:00:00', '0001-01-01 00:00:00', '12:00:00.5', '214748.3647', '0.0001', NULL, NULL, NULL),
 (10252, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '', NULL);

CREATE TABLE "Order Details" (
    OrderID int NOT NULL,
    ProductID int NOT NULL,
    UnitPrice money NOT NULL,
    Quantity smallint NOT NULL,
    Discount real,
    Measure float,
    LineNote nvarchar(100),
    PRIMARY KEY (OrderID, ProductID)
);
INSERT INTO "Order Details" VALUES
 (10248, 1, '14.0000', 12, 0, 0.1, 'Standard'),
 (10248, 2, '9.8000', 10, 0.15, 3.141592653589793, 'Rabatt 15 %'),
 (10249, 4, CAST('-922337203685477.5808' AS BLOB), 9, NULL, -1.7976931348623157e308, NULL),
 (10250, 3, '0.0001', 1, 0.05, 2.2250738585072014e-308, 'Ça va');

CREATE TABLE Ledger (
    EntryID int NOT NULL PRIMARY KEY,
    Posted date,
    Amount decimal(19,4),
    Largest decimal(38,0),
    Precise decimal(38,10),
    Fraction numeric(38,38),
    Rate numeric(5,5)
);
INSERT INTO Ledger VALUES
 (1, '2023-12-31', '1234.5000', CAST('99999999999999999999999999999999999999' AS BLOB), CAST('9999999999999999999999999999.9999999999' AS BLOB), CAST('0.99999999999999999999999999999999999999' AS BLOB), '0.12345'),
 (2, '2000-01-01', '-1234.5600', CAST('-99999999999999999999999999999999999999' AS BLOB), '-0.0000000001', CAST('-0.00000000000000000000000000000000000001' AS BLOB), '-0.00001'),
 (3, '1999-12-31', '0', '0', '0', '0', '0'),
 (4, NULL, NULL, NULL, NULL, NULL, NULL);

CREATE TABLE AuditSystem (
    AuditID int NOT NULL PRIMARY KEY,
    TableName nvarchar(128),
    Action varchar(10),
    At datetime2
);
INSERT INTO AuditSystem VALUES (1, 'Orders', 'INSERT', '2021-08-31 14:05:00.0000000');

CREATE TABLE sysdiagrams (
    name sysname NOT NULL,
    principal_id int NOT NULL,
    diagram_id int NOT NULL PRIMARY KEY,
    version int,
    definition [varbinary(max)]
);
INSERT INTO sysdiagrams VALUES ('Sales overview', 1, 1, 1, X'D0CF11E0A1B11AE1');

CREATE VIEW vOrders AS
    SELECT o.OrderID, c.CompanyName, o.OrderDate, o.Total
    FROM Orders o LEFT JOIN Customers c ON c.CustomerID = o.CustomerID;

-- One row with every type, and one with every column NULL.
CREATE TABLE AllTypes (
    ID int NOT NULL PRIMARY KEY,
    C_int int, C_smallint smallint, C_tinyint tinyint, C_bigint bigint, C_bit bit,
    C_decimal decimal(38,4), C_numeric numeric(10,3), C_money money, C_smallmoney smallmoney,
    C_float float, C_real real,
    C_char char(10), C_varchar varchar(50), C_varcharmax [varchar(max)],
    C_nchar nchar(10), C_nvarchar nvarchar(50), C_nvarcharmax [nvarchar(max)],
    C_text text, C_ntext ntext,
    C_datetime datetime, C_smalldatetime smalldatetime, C_datetime2 datetime2, C_date date, C_time time,
    C_uniqueidentifier uniqueidentifier,
    C_binary binary(6), C_varbinary varbinary(20), C_varbinarymax [varbinary(max)], C_image image
);
INSERT INTO AllTypes VALUES
 (1, -2147483648, -32768, 255, 9223372036854775807, 1,
  CAST('1234567890123456789012345678901234.5678' AS BLOB), '-1234567.891', CAST('-922337203685477.5808' AS BLOB), '214748.3647',
  1.7976931348623157e308, 1.5,
  'abc', 'O''Neil, Smith', 'long ' || replace(hex(zeroblob(3000)), '00', 'ab'),
  'ÄÖÜ', 'Grüße — 日本語 😀', 'Ω' || replace(hex(zeroblob(5000)), '00', 'ü€'),
  'plain text', 'ntext: Ünïcødé',
  '2024-02-29 13:45:30.123', '2024-02-29 13:45:29', '2024-02-29 13:45:30.1234567', '2024-02-29', '08:15:00.1234567',
  '6F9619FF-8B86-D011-B42D-00C04FC964FF',
  X'010203', X'00FF10', CAST(substr(replace(hex(zeroblob(149797)), '00', 'Quill7!'), 1, 1048576) AS BLOB), X'474946383961'),
 (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
  NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);

COMMIT;
