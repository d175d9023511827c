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
INSERT INTO schema_version (version) VALUES (4);

CREATE TABLE study (
    study_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name VARCHAR(255) NOT NULL DEFAULT '',
    description TEXT,
    datapath VARCHAR(255) NOT NULL DEFAULT '',
    min_no_of_spec_per_endmember INT NOT NULL DEFAULT 0,
    -- The last import, deletion or disabling of the study's spectra: results built before it
    -- are out of date.
    spectra_changed_at TIMESTAMP(6) NULL DEFAULT NULL
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
    UNIQUE KEY species_study_folder (study_id, folder_name)
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
    KEY mixture_pair (species_id, endmember_id)
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
    KEY feature_space_type_dim (fs_type_id, dimension)
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
    KEY library_config (feature_space_id, smoothing_filter_id, derivative_id, sensor_id, study_id)
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
