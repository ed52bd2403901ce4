-- Velmora database. Dates are ISO text (YYYY-MM-DD); yes/no fields are 0/1.
-- Schema version 1, made by the first migration step in src/store/Database.cpp; later changes
-- are further steps there, never edits here. Every statement is idempotent (an earlier database
-- of ours without the version mark runs it harmlessly).

CREATE TABLE IF NOT EXISTS txyk (
    id             INTEGER PRIMARY KEY,
    c_name         TEXT,
    c_no           TEXT,
    c_yxq          TEXT,
    c_xym          TEXT,
    c_jzr          INTEGER,
    c_hkr          INTEGER,
    izdhkr         INTEGER,
    i_ed           INTEGER,
    i_mxr          REAL,
    i_zdhkbl       REAL,
    i_zdhkje       REAL,
    i_yxf          REAL,
    cname          TEXT,
    tf             BOOLEAN NOT NULL DEFAULT 0,
    i_hkm          INTEGER,
    i_hky          INTEGER,
    c_re_date      DATE,
    c_next_re_date DATE,
    c_jd_date      DATE,
    c_next_jd_date DATE,
    i_xyr          INTEGER,
    i_xf           INTEGER,
    tf_tx          BOOLEAN NOT NULL DEFAULT 0,
    i_tx_num       INTEGER,
    t_time         INTEGER
);

CREATE TABLE IF NOT EXISTS tname (
    id     INTEGER PRIMARY KEY,
    c_name TEXT
);

CREATE TABLE IF NOT EXISTS tjz (
    id          INTEGER PRIMARY KEY,
    d_post_date DATE,
    c_name_tx   TEXT,
    c_name_hk   TEXT,
    i_ed        REAL,
    TF          TEXT,
    i_tx_num    INTEGER,
    i_hk_num    INTEGER
);

CREATE TABLE IF NOT EXISTS Txyk_jz (
    id          INTEGER PRIMARY KEY,
    c_name      TEXT,
    c_post_date DATE,
    c_re_date   DATE,
    i_ed        INTEGER,
    i_yyed      INTEGER,
    i_mxr       INTEGER,
    i_sum_ed    INTEGER,
    i_tx_num    INTEGER,
    tf_tx       BOOLEAN NOT NULL DEFAULT 0,
    y_y         INTEGER,
    y_m         INTEGER,
    y_d         INTEGER,
    xyk_id      INTEGER
);
