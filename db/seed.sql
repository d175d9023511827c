-- Starter feature spaces for a new database (sensors are imported by scripts/orvane-db).
-- DI: one feature per wavelength range; NTBI: one feature per band pair; PCT: a dimension only.
SET NAMES utf8mb4;

INSERT INTO feature_space (name, description, dimension, fs_type_id, build_date)
    VALUES ('VNIR-SWIR curvature', 'Curvature over visible, red edge, NIR and SWIR ranges', 4,
            (SELECT fs_type_id FROM feature_space_type WHERE type = 0), CURRENT_TIMESTAMP(6));
SET @fs = LAST_INSERT_ID();
INSERT INTO band_range (feature_space_id, band1, band2) VALUES
    (@fs, 400, 700), (@fs, 650, 900), (@fs, 900, 1700), (@fs, 1500, 2300);

INSERT INTO feature_space (name, description, dimension, fs_type_id, build_date)
    VALUES ('Full range curvature', 'Curvature over the whole spectrum', 1,
            (SELECT fs_type_id FROM feature_space_type WHERE type = 0), CURRENT_TIMESTAMP(6));
SET @fs = LAST_INSERT_ID();
INSERT INTO band_range (feature_space_id, band1, band2) VALUES (@fs, 400, 2400);

INSERT INTO feature_space (name, description, dimension, fs_type_id, build_date)
    VALUES ('Vegetation indices', 'Normalised differences: red/NIR, green/NIR, NIR/SWIR1, SWIR1/SWIR2', 4,
            (SELECT fs_type_id FROM feature_space_type WHERE type = 1), CURRENT_TIMESTAMP(6));
SET @fs = LAST_INSERT_ID();
INSERT INTO band_range (feature_space_id, band1, band2) VALUES
    (@fs, 660, 860), (@fs, 560, 860), (@fs, 860, 1610), (@fs, 1610, 2200);

INSERT INTO feature_space (name, description, dimension, fs_type_id, build_date)
    VALUES ('NDVI', 'Normalised difference of red and near infrared', 1,
            (SELECT fs_type_id FROM feature_space_type WHERE type = 1), CURRENT_TIMESTAMP(6));
SET @fs = LAST_INSERT_ID();
INSERT INTO band_range (feature_space_id, band1, band2) VALUES (@fs, 660, 860);

INSERT INTO feature_space (name, description, dimension, fs_type_id, build_date) VALUES
    ('PCT 2', 'First two principal components', 2,
     (SELECT fs_type_id FROM feature_space_type WHERE type = 2), CURRENT_TIMESTAMP(6)),
    ('PCT 3', 'First three principal components', 3,
     (SELECT fs_type_id FROM feature_space_type WHERE type = 2), CURRENT_TIMESTAMP(6)),
    ('PCT 5', 'First five principal components', 5,
     (SELECT fs_type_id FROM feature_space_type WHERE type = 2), CURRENT_TIMESTAMP(6));
