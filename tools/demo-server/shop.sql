-- The sample SQL Server database "Shop" for the demo server: an online shop whose tables live in the
-- schema Shop (a SQLite table "Shop.Name" is table Name of schema Shop), with the types real
-- databases add: xml, hierarchyid, geography, datetimeoffset, sql_variant, rowversion, an alias
-- type, a computed and a sparse column. dbo.Orders and Shop.Orders share a name.
PRAGMA journal_mode = DELETE;
BEGIN;

-- CREATE TYPE EmailAddress FROM nvarchar(100), as the demo server reads alias types.
CREATE TABLE "sys.alias_types" (name sysname, base sysname);
INSERT INTO "sys.alias_types" VALUES ('EmailAddress', 'nvarchar(100)');

CREATE TABLE "Shop.Customers" (
    CustomerID int NOT NULL PRIMARY KEY,
    Name nvarchar(60) NOT NULL,
    Email EmailAddress,
    Joined datetime2(7)
);
INSERT INTO "Shop.Customers" VALUES
 (1, 'Ingrid Holm', 'ingrid@example.com', '2021-03-14 09:26:53.5897932'),
 (2, 'Tomás Ó Briain', 'tomas@example.ie', '2022-12-31 23:59:59.9999999'),
 (3, 'Chen Wei', NULL, '2023-07-01 00:00:00.0000000');

CREATE TABLE "Shop.Addresses" (
    AddressID int NOT NULL PRIMARY KEY,
    CustomerID int NOT NULL,
    Street nvarchar(80),
    City nvarchar(40),
    Country char(2),
    Location geography
);
INSERT INTO "Shop.Addresses" VALUES
 (1, 1, 'Storgatan 1', 'Malmö', 'SE', x'E6100000010C0000000000C04B400000000000002A40'),
 (2, 2, '12 Quay Street', 'Galway', 'IE', x'E6100000010C00000000009C4A4000000000000022C0'),
 (3, 3, '88 Nanjing Road', 'Shanghai', 'CN', NULL);

CREATE TABLE "Shop.Categories" (
    CategoryID int NOT NULL PRIMARY KEY,
    Node hierarchyid,
    Name nvarchar(40)
);
INSERT INTO "Shop.Categories" VALUES
 (1, x'', 'All'),
 (2, x'58', 'Kitchen'),
 (3, x'5AC0', 'Knives'),
 (4, x'68', 'Garden');

CREATE TABLE "Shop.Products" (
    ProductID int NOT NULL PRIMARY KEY,
    CategoryID int,
    Name nvarchar(60),
    Description xml,
    Thumbnail [varbinary(max)],
    Price money,
    Attribute sql_variant
);
INSERT INTO "Shop.Products" VALUES
 (1, 3, 'Chef''s knife 20 cm', '<product><steel grade="VG-10"/><care>Hand wash &amp; dry</care></product>', x'89504E470D0A1A0A', '89.9000', 20),
 (2, 2, 'Cast-iron pan', '<product><weight unit="kg">2.4</weight></product>', x'89504E470D0A1A0A0000', '45.5000', 'pre-seasoned'),
 (3, 4, 'Rake', NULL, NULL, '19.0000', 1.5);

CREATE TABLE "Shop.Orders" (
    OrderID int NOT NULL PRIMARY KEY,
    CustomerID int NOT NULL,
    Placed datetimeoffset(7),
    Status varchar(12),
    Version rowversion
);
INSERT INTO "Shop.Orders" VALUES
 (1001, 1, '2024-05-01 10:15:00.0000000 +02:00', 'shipped', x'00000000000007D1'),
 (1002, 2, '2024-05-02 23:30:00.1234567 +01:00', 'paid', x'00000000000007D2'),
 (1003, 3, '2024-05-03 08:00:00.0000000 +08:00', 'new', x'00000000000007D3');

CREATE TABLE "Shop.OrderLines" (
    OrderID int NOT NULL,
    LineNo smallint NOT NULL,
    ProductID int NOT NULL,
    Quantity int NOT NULL,
    UnitPrice money NOT NULL,
    LineTotal money GENERATED ALWAYS AS (Quantity * UnitPrice),
    GiftNote [nvarchar(100) SPARSE]
);
INSERT INTO "Shop.OrderLines" (OrderID, LineNo, ProductID, Quantity, UnitPrice, GiftNote) VALUES
 (1001, 1, 1, 1, '89.9000', NULL),
 (1001, 2, 3, 2, '19.0000', 'Happy gardening!'),
 (1002, 1, 2, 1, '45.5000', NULL),
 (1003, 1, 1, 3, '85.0000', NULL);

-- The orders of the shop's old system, still in dbo.
CREATE TABLE Orders (
    OrderID int NOT NULL PRIMARY KEY,
    Customer nvarchar(60),
    Placed datetime,
    Amount money
);
INSERT INTO Orders VALUES
 (1, 'Ingrid Holm', '2019-11-02 14:00:00', '120.0000'),
 (2, 'Tomás Ó Briain', '2020-01-15 09:30:00', '35.2500');

COMMIT;
