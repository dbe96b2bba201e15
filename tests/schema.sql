-- The database the tool works on: the terminal rows and the locations.
-- Loaded into a fresh private server by tests/db_server.sh.
CREATE DATABASE IF NOT EXISTS QXSYSTEM CHARACTER SET latin1 COLLATE latin1_swedish_ci;
USE QXSYSTEM;

-- One row per terminal: the state of the latest transfer to it.
CREATE TABLE IF NOT EXISTS QXS1140TRM (
  TrmNam VARCHAR(255) NOT NULL,  -- terminal host name
  TrmDtd CHAR(14) NULL,          -- time of the latest change, yyyymmddhhmmss
  TrmDbe VARCHAR(50) NULL,       -- user who started the transfer
  TrmDnm VARCHAR(40) NULL,       -- kind of transfer ("Registry")
  TrmDtp SMALLINT NULL,          -- number of the kind of transfer (40)
  TrmDst INT NULL,               -- NULL, or an error number / reply code
  TrmDpg SMALLINT NULL,          -- progress in percent
  TrmDac SMALLINT NULL,          -- 1 while a transfer is active
  PRIMARY KEY (TrmNam)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

-- Locations; those with status 4 or 8 are not sent to the terminals.
CREATE TABLE IF NOT EXISTS QXS113STO (
  StoNum VARCHAR(40) NULL,       -- location number, read as text
  StoSta INT NULL                -- location status
) ENGINE=InnoDB DEFAULT CHARSET=latin1;
