-- Version 2 to 3: each library class's Ledoit-Wolf shrinkage intensity, which the classifier
-- Mahalanobis (shrunk) needs and which only the class's spectra give. Libraries built before
-- keep NULL until they are built again. Can run again.
SET NAMES utf8mb4;

ALTER TABLE statistic ADD COLUMN IF NOT EXISTS shrinkage DOUBLE NULL DEFAULT NULL AFTER cov;

INSERT IGNORE INTO schema_version (version) VALUES (3);
