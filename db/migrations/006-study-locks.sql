-- Version 5 to 6: study locks as rows. An import, a library build or a study deletion holds its
-- study's row for as long as it runs and keeps moving expires_at ahead; a row past expires_at
-- was left by a program that ended without releasing it, and the next one takes it over. Rows
-- rather than the server's named locks, which the nodes of a Galera cluster do not share. Can
-- run again.
SET NAMES utf8mb4;

CREATE TABLE IF NOT EXISTS study_lock (
    study_id INT NOT NULL PRIMARY KEY,
    token CHAR(32) NOT NULL,
    account VARCHAR(80) NOT NULL,
    host VARCHAR(255) NOT NULL,
    pid INT NOT NULL,
    acquired_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    expires_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

INSERT IGNORE INTO schema_version (version) VALUES (6);
