-- Version 3 to 4: the chain's optional stages (splice correction, continuum removal). A study
-- keeps a row for each stage and mode it has used, and its own wavelength pairs for a stage
-- (splice joins, continuum ranges). A library or principal component analysis names the rows
-- of the stages that were on when it was built; those built before have none, which is what
-- they were built with. Can run again.
SET NAMES utf8mb4;

CREATE TABLE IF NOT EXISTS stage_option (
    stage_option_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    stage INT NOT NULL,
    mode INT NOT NULL,
    changed_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    UNIQUE KEY stage_option_study_stage_mode (study_id, stage, mode)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS stage_pair (
    stage_pair_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    stage INT NOT NULL,
    lower_wavelength INT NOT NULL,
    upper_wavelength INT NOT NULL,
    KEY stage_pair_study_stage (study_id, stage)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

ALTER TABLE library ADD COLUMN IF NOT EXISTS
    stage_options VARCHAR(255) NOT NULL DEFAULT '' AFTER waveband_filter_id;
ALTER TABLE pca_data ADD COLUMN IF NOT EXISTS
    stage_options VARCHAR(255) NOT NULL DEFAULT '' AFTER waveband_filter_id;

INSERT IGNORE INTO schema_version (version) VALUES (4);
