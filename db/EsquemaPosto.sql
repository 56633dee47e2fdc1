-- Station database as the communicator uses it (SQL dialect 1, default character set WIN1252).
-- Statements end with ";" at the end of a line.

CREATE TABLE ParaPosto (
  SequenciaAbast       INTEGER,
  UsaConcentrador      VARCHAR(1),
  PortaConc            VARCHAR(10),
  AcertaDataConc       VARCHAR(1),
  TEMPOLECONCENTRADOR  INTEGER,
  ImpreDescBico        VARCHAR(1),
  visualizastatusbomba VARCHAR(1),
  CorrigeLitragem      VARCHAR(1)
);

CREATE TABLE Produto (
  CodProd   VARCHAR(10) NOT NULL PRIMARY KEY,
  Descricao VARCHAR(50)
);

CREATE TABLE Tanques (
  CodTanque VARCHAR(10) NOT NULL PRIMARY KEY,
  CodProd   VARCHAR(10)
);

CREATE TABLE Bombas (
  CodBico         VARCHAR(10) NOT NULL PRIMARY KEY,
  Descricao       VARCHAR(50),
  CodTanque       VARCHAR(10),
  CodConcentrador VARCHAR(3),
  PrecoVenda      DOUBLE PRECISION,
  EncerranteIni   DOUBLE PRECISION,
  statusbico      VARCHAR(1)
);

CREATE INDEX Bombas_CodConcentrador ON Bombas (CodConcentrador);

CREATE TABLE MvAbast (
  Data            DATE NOT NULL,
  Hora            VARCHAR(12) NOT NULL,
  CodBico         VARCHAR(10) NOT NULL,
  Combustivel     VARCHAR(50),
  Litragem        DOUBLE PRECISION,
  Valor           DOUBLE PRECISION,
  CodProd         VARCHAR(10),
  CodGrade        VARCHAR(10),
  CodFid          VARCHAR(20),
  PrecoUnit       DOUBLE PRECISION,
  Desconto        DOUBLE PRECISION,
  Emitido         VARCHAR(1),
  Id              INTEGER NOT NULL,
  Sequencia       INTEGER NOT NULL,
  EncerranteFinal DOUBLE PRECISION,
  CONSTRAINT MvAbast_Fueling UNIQUE (Id, Sequencia, Data)
);

CREATE INDEX MvAbast_DataHoraBico ON MvAbast (Data, Hora, CodBico);

CREATE TABLE TURNOS (
  CODTURNO  VARCHAR(3) NOT NULL PRIMARY KEY,
  DESCRICAO VARCHAR(30)
);

CREATE TABLE VENDEND (
  CODVENDEDOR VARCHAR(5) NOT NULL PRIMARY KEY,
  NOME        VARCHAR(40)
);

CREATE TABLE MvTurno (
  Controle    VARCHAR(10) NOT NULL PRIMARY KEY,
  CODEMPRESA  VARCHAR(2),
  CodTurno    VARCHAR(3),
  CODVENDEDOR VARCHAR(5),
  DTMOVIMENTO DATE,
  HRABERTURA  DATE,
  DtTermino   DATE,
  HrTermino   DATE,
  STATUS      VARCHAR(1),
  -- the shift query can also filter on the closing moment
  DTFECHAMENTO DATE,
  HRFECHAMENTO VARCHAR(8)
);

CREATE TABLE MvEncerrantes (
  CodEmpresa    VARCHAR(2) NOT NULL,
  CodTurno      VARCHAR(10) NOT NULL,
  CodBico       VARCHAR(10) NOT NULL,
  EncerranteIni DOUBLE PRECISION,
  EncerranteFim DOUBLE PRECISION,
  Saida         DOUBLE PRECISION,
  DataLeitura   DATE,
  HoraLeitura   VARCHAR(8),
  CONSTRAINT MvEncerrantes_Chave PRIMARY KEY (CodEmpresa, CodTurno, CodBico)
);
