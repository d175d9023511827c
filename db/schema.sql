-- Timestamps keep microseconds: a change and a library build within one second must
-- still be ordered, or a fresh library would show as out of date.
-- Orvane database schema (MariaDB / MySQL). References between tables are kept by the program,
-- which deletes child rows first, so no foreign keys are declared.
SET NAMES utf8mb4;

-- The schema's version: db/migrations/NNN-*.sql bring an older database up to it, and the
-- program refuses a database whose version it does not know.
CREATE TABLE schema_version (
    version INT NOT NULL PRIMARY KEY,
    applied_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO schema_version (version) VALUES (6);

CREATE TABLE study (
    study_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(255) NOT NULL DEFAULT '',
    description TEXT,
    datapath VARCHAR(255) NOT NULL DEFAULT '',
    min_no_of_spec_per_endmember INT NOT NULL DEFAULT 0,
    -- The last import, deletion or disabling of the study's spectra: results built before it
    -- are out of date.
    spectra_changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    -- Who created and last changed the record, and when; row_version counts its changes.
    created_by VARCHAR(80) NOT NULL DEFAULT '',
    created_at TIMESTAMP(6) NULL DEFAULT NULL,
    changed_by VARCHAR(80) NOT NULL DEFAULT '',
    changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    row_version INT NOT NULL DEFAULT 1
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE species (
    species_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    -- Folder names match byte for byte, as they do on disk: "Grass", "grass" and "grass "
    -- are three species.
    folder_name VARCHAR(80) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin NOT NULL,
    common_name VARCHAR(80) NULL,
    latin_name VARCHAR(80) NULL,
    maori_name VARCHAR(80) NULL,
    endmember CHAR(1) NOT NULL DEFAULT 'N',
    UNIQUE KEY species_study_folder (study_id, folder_name),
    -- Who created and last changed the record, and when; row_version counts its changes.
    created_by VARCHAR(80) NOT NULL DEFAULT '',
    created_at TIMESTAMP(6) NULL DEFAULT NULL,
    changed_by VARCHAR(80) NOT NULL DEFAULT '',
    changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    row_version INT NOT NULL DEFAULT 1
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE site (
    site_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    site_no INT NOT NULL,
    species_id INT NOT NULL,
    study_id INT NOT NULL,
    capture_date DATETIME NULL,
    longitude DOUBLE NULL,
    latitude DOUBLE NULL,
    altitude DOUBLE NULL,
    UNIQUE KEY site_species_no (species_id, site_no),
    KEY site_study (study_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE spectrum (
    spectrum_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    species_id INT NOT NULL,
    site_id INT NOT NULL,
    study_id INT NOT NULL,
    spectrum_no INT NOT NULL,
    latitude DOUBLE NULL,
    longitude DOUBLE NULL,
    altitude DOUBLE NULL,
    asd_comment TEXT,
    pathname VARCHAR(1024) NOT NULL DEFAULT '',
    reflectances MEDIUMBLOB,
    disabled INT NOT NULL DEFAULT 0,
    UNIQUE KEY spectrum_site_no (site_id, spectrum_no),
    KEY spectrum_natural (species_id, site_id, spectrum_no, study_id),
    KEY spectrum_site (site_id, disabled),
    KEY spectrum_study (study_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE mixture (
    mixture_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    species_id INT NOT NULL,
    endmember_id INT NOT NULL,
    abundance DOUBLE NOT NULL DEFAULT 0,
    KEY mixture_pair (species_id, endmember_id),
    -- Who created and last changed the record, and when; row_version counts its changes.
    created_by VARCHAR(80) NOT NULL DEFAULT '',
    created_at TIMESTAMP(6) NULL DEFAULT NULL,
    changed_by VARCHAR(80) NOT NULL DEFAULT '',
    changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    row_version INT NOT NULL DEFAULT 1
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE smoothing_filter_type (
    sf_type_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    type INT NOT NULL,
    name VARCHAR(80) NOT NULL DEFAULT '',
    UNIQUE KEY smoothing_filter_type_type (type)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE smoothing_filter (
    smoothing_filter_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    sf_type_id INT NOT NULL,
    filter_size INT NULL,
    polynomial_order INT NULL,
    changed_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    KEY smoothing_filter_study (study_id, sf_type_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE derivative_calc_method (
    deriv_calc_method_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    type INT NOT NULL,
    name VARCHAR(80) NOT NULL DEFAULT '',
    UNIQUE KEY derivative_calc_method_type (type)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE derivative (
    derivative_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    deriv_calc_method_id INT NOT NULL,
    derivative_order INT NOT NULL DEFAULT 0,
    polynomial_order INT NOT NULL DEFAULT 4,
    filter_size INT NOT NULL DEFAULT 5,
    changed_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    KEY derivative_study_order (study_id, derivative_order)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- A row for each optional stage (by its number) and mode other than off that a study has used:
-- libraries name the rows of the stages that were on, and its changed_at makes those built
-- before out of date.
CREATE TABLE stage_option (
    stage_option_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    stage INT NOT NULL,
    mode INT NOT NULL,
    changed_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    UNIQUE KEY stage_option_study_stage_mode (study_id, stage, mode)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- A study's own wavelength pairs of an optional stage: splice joins (last band of one
-- detector, first of the next), continuum ranges. None: the stage's defaults.
CREATE TABLE stage_pair (
    stage_pair_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    stage INT NOT NULL,
    lower_wavelength INT NOT NULL,
    upper_wavelength INT NOT NULL,
    KEY stage_pair_study_stage (study_id, stage)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE waveband_filter (
    waveband_filter_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    changed_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    KEY waveband_filter_study (study_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE waveband_filter_range (
    waveband_filter_range_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    waveband_filter_id INT NULL,
    lower_wavelength INT NOT NULL,
    upper_wavelength INT NOT NULL,
    KEY waveband_filter_range_study (study_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE sensor_response_type (
    sensor_response_type_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    type INT NOT NULL,
    name VARCHAR(80) NOT NULL DEFAULT '',
    UNIQUE KEY sensor_response_type_type (type)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE sensor (
    sensor_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(255) NOT NULL DEFAULT '',
    description VARCHAR(1024) NOT NULL DEFAULT '',
    sensor_response_type_id INT NOT NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE sensor_element (
    sensor_element_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    sensor_id INT NOT NULL,
    band_no INT NOT NULL,
    avg_wavelength DOUBLE NOT NULL,
    fwhm DOUBLE NULL,
    calibrated INT NOT NULL DEFAULT 1,
    ratio DOUBLE NULL,
    KEY sensor_element_sensor (sensor_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE feature_space_type (
    fs_type_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    type INT NOT NULL,
    name VARCHAR(80) NOT NULL,
    UNIQUE KEY feature_space_type_type (type)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE feature_space (
    feature_space_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(80) NOT NULL DEFAULT '',
    description VARCHAR(255) NOT NULL DEFAULT '',
    dimension INT NOT NULL DEFAULT 0,
    fs_type_id INT NOT NULL,
    build_date TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    KEY feature_space_type_dim (fs_type_id, dimension),
    -- Who created and last changed the record, and when; row_version counts its changes.
    created_by VARCHAR(80) NOT NULL DEFAULT '',
    created_at TIMESTAMP(6) NULL DEFAULT NULL,
    changed_by VARCHAR(80) NOT NULL DEFAULT '',
    changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    row_version INT NOT NULL DEFAULT 1
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE band_range (
    band_range_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    feature_space_id INT NOT NULL,
    band1 INT NOT NULL,
    band2 INT NOT NULL,
    KEY band_range_fs (feature_space_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE library (
    library_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    feature_space_id INT NOT NULL,
    smoothing_filter_id INT NOT NULL,
    derivative_id INT NOT NULL,
    sensor_id INT NOT NULL,
    waveband_filter_id INT NOT NULL DEFAULT 0,
    -- The stage_option ids of the optional stages that were on, in ascending order, joined by
    -- commas; empty when none was.
    stage_options VARCHAR(255) NOT NULL DEFAULT '',
    build_date TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    KEY library_config (feature_space_id, smoothing_filter_id, derivative_id, sensor_id, study_id),
    -- Who created and last changed the record, and when; row_version counts its changes.
    created_by VARCHAR(80) NOT NULL DEFAULT '',
    created_at TIMESTAMP(6) NULL DEFAULT NULL,
    changed_by VARCHAR(80) NOT NULL DEFAULT '',
    changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    row_version INT NOT NULL DEFAULT 1
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE statistic (
    statistic_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    library_id INT NOT NULL,
    species_id INT NOT NULL,
    no_of_samples INT NOT NULL DEFAULT 0,
    mean MEDIUMBLOB,
    cov LONGBLOB,
    -- Ledoit-Wolf shrinkage intensity of the class for Mahalanobis (shrunk); NULL for fewer
    -- than 2 spectra or a library built before it was stored.
    shrinkage DOUBLE NULL DEFAULT NULL,
    KEY statistic_library_species (library_id, species_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE pca_data (
    pca_data_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    study_id INT NOT NULL,
    sensor_id INT NOT NULL,
    smoothing_filter_id INT NOT NULL,
    derivative_id INT NOT NULL,
    waveband_filter_id INT NOT NULL DEFAULT 0,
    stage_options VARCHAR(255) NOT NULL DEFAULT '',
    dim INT NOT NULL DEFAULT 0,
    build_date TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    eigenvalues MEDIUMBLOB,
    eigenvectors LONGBLOB,
    KEY pca_data_config (sensor_id, study_id, smoothing_filter_id, derivative_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- Lookup rows: the program selects them by `type`; names are for people.
INSERT INTO smoothing_filter_type (type, name) VALUES
    (0, 'No smoothing'), (1, 'Savitzky-Golay (MW)'), (2, 'Savitzky-Golay (FFT)');
INSERT INTO derivative_calc_method (type, name) VALUES
    (0, 'Iterative'), (1, 'Savitzky-Golay'), (2, 'Initial');
INSERT INTO feature_space_type (type, name) VALUES (0, 'DI'), (1, 'NTBI'), (2, 'PCT');
INSERT INTO sensor_response_type (type, name) VALUES
    (0, 'Gaussian'), (1, 'Ratio'), (2, 'Centre sampling');

-- The lab's accounts with their role; an account not listed here (the owner of a private
-- database, an account made by hand) is bound by its grants alone.
CREATE TABLE IF NOT EXISTS lab_account (
    account VARCHAR(80) NOT NULL PRIMARY KEY,
    role ENUM('reader', 'editor', 'admin') NOT NULL,
    created_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- The editors of each study: the accounts granted it, and the editor who created it.
CREATE TABLE IF NOT EXISTS study_member (
    study_id INT NOT NULL,
    account VARCHAR(80) NOT NULL,
    PRIMARY KEY (study_id, account),
    KEY study_member_account (account)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- The study locks: an import, a library build or a study deletion holds its study's row for as
-- long as it runs and keeps moving expires_at ahead; a row past expires_at was left by a
-- program that ended without releasing it, and the next one takes it over. Rows rather than
-- the server's named locks, which the nodes of a Galera cluster do not share.
CREATE TABLE IF NOT EXISTS study_lock (
    study_id INT NOT NULL PRIMARY KEY,
    token CHAR(32) NOT NULL,
    account VARCHAR(80) NOT NULL,
    host VARCHAR(255) NOT NULL,
    pid INT NOT NULL,
    acquired_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6),
    expires_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

-- The account of the session (the name it logged in with, whichever host it came from) when it
-- may change the study (NULL: a record of no study, or a new study); otherwise the change is
-- refused with the server's own "command denied" error, so that a hand-written client is held
-- to the same rights as Orvane.
DELIMITER //
CREATE OR REPLACE FUNCTION orvane_may_change(p_study INT) RETURNS VARCHAR(80)
    READS SQL DATA SQL SECURITY DEFINER
BEGIN
    DECLARE who VARCHAR(80) DEFAULT SUBSTRING_INDEX(USER(), '@', 1);
    DECLARE who_role VARCHAR(10) DEFAULT NULL;
    DECLARE message VARCHAR(255);
    SET who_role = (SELECT a.role FROM lab_account a WHERE a.account = who);
    IF who_role IS NULL OR who_role = 'admin' THEN
        RETURN who;
    END IF;
    IF who_role = 'editor' AND (p_study IS NULL OR EXISTS (
            SELECT 1 FROM study_member m WHERE m.study_id = p_study AND m.account = who)) THEN
        RETURN who;
    END IF;
    IF who_role = 'reader' THEN
        SET message = CONCAT('The account ', who, ' has the reader role and may not change data');
    ELSE
        SET message = CONCAT('The account ', who, ' is not an editor of study ', p_study);
    END IF;
    SIGNAL SQLSTATE '42000' SET MYSQL_ERRNO = 1142, MESSAGE_TEXT = message;
    RETURN NULL;
END//
DELIMITER ;

-- Records with a history: the account and time of their creation and last change.
CREATE OR REPLACE TRIGGER study_insert BEFORE INSERT ON study FOR EACH ROW SET NEW.created_by = orvane_may_change(NULL), NEW.changed_by = NEW.created_by, NEW.created_at = NOW(6), NEW.changed_at = NOW(6), NEW.row_version = 1;
CREATE OR REPLACE TRIGGER study_update BEFORE UPDATE ON study FOR EACH ROW SET NEW.changed_by = orvane_may_change(OLD.study_id), NEW.changed_at = NOW(6), NEW.row_version = OLD.row_version + 1;
CREATE OR REPLACE TRIGGER study_delete BEFORE DELETE ON study FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER study_insert_member AFTER INSERT ON study FOR EACH ROW INSERT IGNORE INTO study_member (study_id, account) SELECT NEW.study_id, a.account FROM lab_account a WHERE a.account = SUBSTRING_INDEX(USER(), '@', 1) AND a.role = 'editor';
CREATE OR REPLACE TRIGGER study_delete_member AFTER DELETE ON study FOR EACH ROW DELETE FROM study_member WHERE study_id = OLD.study_id;
CREATE OR REPLACE TRIGGER species_insert BEFORE INSERT ON species FOR EACH ROW SET NEW.created_by = orvane_may_change(NEW.study_id), NEW.changed_by = NEW.created_by, NEW.created_at = NOW(6), NEW.changed_at = NOW(6), NEW.row_version = 1;
CREATE OR REPLACE TRIGGER species_update BEFORE UPDATE ON species FOR EACH ROW SET NEW.changed_by = orvane_may_change(OLD.study_id), NEW.changed_at = NOW(6), NEW.row_version = OLD.row_version + 1;
CREATE OR REPLACE TRIGGER species_delete BEFORE DELETE ON species FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER library_insert BEFORE INSERT ON library FOR EACH ROW SET NEW.created_by = orvane_may_change(NEW.study_id), NEW.changed_by = NEW.created_by, NEW.created_at = NOW(6), NEW.changed_at = NOW(6), NEW.row_version = 1;
CREATE OR REPLACE TRIGGER library_update BEFORE UPDATE ON library FOR EACH ROW SET NEW.changed_by = orvane_may_change(OLD.study_id), NEW.changed_at = NOW(6), NEW.row_version = OLD.row_version + 1;
CREATE OR REPLACE TRIGGER library_delete BEFORE DELETE ON library FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER mixture_insert BEFORE INSERT ON mixture FOR EACH ROW SET NEW.created_by = orvane_may_change((SELECT s.study_id FROM species s WHERE s.species_id = NEW.species_id)), NEW.changed_by = NEW.created_by, NEW.created_at = NOW(6), NEW.changed_at = NOW(6), NEW.row_version = 1;
CREATE OR REPLACE TRIGGER mixture_update BEFORE UPDATE ON mixture FOR EACH ROW SET NEW.changed_by = orvane_may_change((SELECT s.study_id FROM species s WHERE s.species_id = OLD.species_id)), NEW.changed_at = NOW(6), NEW.row_version = OLD.row_version + 1;
CREATE OR REPLACE TRIGGER mixture_delete BEFORE DELETE ON mixture FOR EACH ROW SET @orvane_account = orvane_may_change((SELECT s.study_id FROM species s WHERE s.species_id = OLD.species_id));
-- Feature spaces belong to no study: every editor may define and change them.
CREATE OR REPLACE TRIGGER feature_space_insert BEFORE INSERT ON feature_space FOR EACH ROW SET NEW.created_by = orvane_may_change(NULL), NEW.changed_by = NEW.created_by, NEW.created_at = NOW(6), NEW.changed_at = NOW(6), NEW.row_version = 1;
CREATE OR REPLACE TRIGGER feature_space_update BEFORE UPDATE ON feature_space FOR EACH ROW SET NEW.changed_by = orvane_may_change(NULL), NEW.changed_at = NOW(6), NEW.row_version = OLD.row_version + 1;
CREATE OR REPLACE TRIGGER feature_space_delete BEFORE DELETE ON feature_space FOR EACH ROW SET @orvane_account = orvane_may_change(NULL);

-- The other records of a study: only its editors (and admins) change them.
CREATE OR REPLACE TRIGGER site_insert BEFORE INSERT ON site FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER site_update BEFORE UPDATE ON site FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER site_delete BEFORE DELETE ON site FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER spectrum_insert BEFORE INSERT ON spectrum FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER spectrum_update BEFORE UPDATE ON spectrum FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER spectrum_delete BEFORE DELETE ON spectrum FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER smoothing_filter_insert BEFORE INSERT ON smoothing_filter FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER smoothing_filter_update BEFORE UPDATE ON smoothing_filter FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER smoothing_filter_delete BEFORE DELETE ON smoothing_filter FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER derivative_insert BEFORE INSERT ON derivative FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER derivative_update BEFORE UPDATE ON derivative FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER derivative_delete BEFORE DELETE ON derivative FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER stage_option_insert BEFORE INSERT ON stage_option FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER stage_option_update BEFORE UPDATE ON stage_option FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER stage_option_delete BEFORE DELETE ON stage_option FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER stage_pair_insert BEFORE INSERT ON stage_pair FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER stage_pair_update BEFORE UPDATE ON stage_pair FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER stage_pair_delete BEFORE DELETE ON stage_pair FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER waveband_filter_insert BEFORE INSERT ON waveband_filter FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER waveband_filter_update BEFORE UPDATE ON waveband_filter FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER waveband_filter_delete BEFORE DELETE ON waveband_filter FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER waveband_filter_range_insert BEFORE INSERT ON waveband_filter_range FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER waveband_filter_range_update BEFORE UPDATE ON waveband_filter_range FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER waveband_filter_range_delete BEFORE DELETE ON waveband_filter_range FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER pca_data_insert BEFORE INSERT ON pca_data FOR EACH ROW SET @orvane_account = orvane_may_change(NEW.study_id);
CREATE OR REPLACE TRIGGER pca_data_update BEFORE UPDATE ON pca_data FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER pca_data_delete BEFORE DELETE ON pca_data FOR EACH ROW SET @orvane_account = orvane_may_change(OLD.study_id);
CREATE OR REPLACE TRIGGER statistic_insert BEFORE INSERT ON statistic FOR EACH ROW SET @orvane_account = orvane_may_change((SELECT l.study_id FROM library l WHERE l.library_id = NEW.library_id));
CREATE OR REPLACE TRIGGER statistic_update BEFORE UPDATE ON statistic FOR EACH ROW SET @orvane_account = orvane_may_change((SELECT l.study_id FROM library l WHERE l.library_id = OLD.library_id));
CREATE OR REPLACE TRIGGER statistic_delete BEFORE DELETE ON statistic FOR EACH ROW SET @orvane_account = orvane_may_change((SELECT l.study_id FROM library l WHERE l.library_id = OLD.library_id));
