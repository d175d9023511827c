-- Version 1 to 2: unique natural keys for species, sites and spectra, exact folder names, and
-- the time a study's spectra last changed.
--
-- Imports that ran at the same time could store a species, site or spectrum twice. Before the
-- keys can be unique the copies are merged into the row with the lowest id: a species' sites
-- and spectra move to the kept species, a site's spectra to the kept site, and a spectrum
-- that repeats an earlier one of its site (same file or same reflectances) is removed. A
-- spectrum number that two different files hold is not guessed at: the unique key on it then
-- fails, the migration stops, and the database stays at version 1 until the rows are put right.
-- Every step can run again after such a stop.
SET NAMES utf8mb4;

CREATE TABLE IF NOT EXISTS schema_version (
    version INT NOT NULL PRIMARY KEY,
    applied_at TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

ALTER TABLE study ADD COLUMN IF NOT EXISTS spectra_changed_at TIMESTAMP(6) NULL DEFAULT NULL;

ALTER TABLE species
    MODIFY folder_name VARCHAR(80) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin NOT NULL;

-- Species: each copy with the lowest id of its study and exact folder name.
CREATE TEMPORARY TABLE migrate_species AS
    SELECT s.species_id AS old_id, MIN(k.species_id) AS new_id, s.study_id AS study_id
    FROM species s JOIN species k
        ON k.study_id = s.study_id AND k.folder_name = s.folder_name AND k.species_id < s.species_id
    GROUP BY s.species_id, s.study_id;
UPDATE species k JOIN migrate_species m ON k.species_id = m.new_id
    JOIN species s ON s.species_id = m.old_id
    SET k.common_name = COALESCE(k.common_name, s.common_name),
        k.latin_name = COALESCE(k.latin_name, s.latin_name),
        k.maori_name = COALESCE(k.maori_name, s.maori_name),
        k.endmember = IF(s.endmember = 'Y', 'Y', k.endmember);
UPDATE site x JOIN migrate_species m ON x.species_id = m.old_id SET x.species_id = m.new_id;
UPDATE spectrum x JOIN migrate_species m ON x.species_id = m.old_id SET x.species_id = m.new_id;
UPDATE mixture x JOIN migrate_species m ON x.species_id = m.old_id SET x.species_id = m.new_id;
UPDATE mixture x JOIN migrate_species m ON x.endmember_id = m.old_id SET x.endmember_id = m.new_id;
-- A library that holds a species twice is out of date: its copies' statistics go and the
-- study's spectra count as changed.
DELETE x FROM statistic x JOIN migrate_species m ON x.species_id = m.old_id;
UPDATE study x JOIN (SELECT DISTINCT study_id FROM migrate_species) m ON x.study_id = m.study_id
    SET x.spectra_changed_at = CURRENT_TIMESTAMP(6);
DELETE x FROM species x JOIN migrate_species m ON x.species_id = m.old_id;
DROP TEMPORARY TABLE migrate_species;

-- Sites: each copy with the lowest id of its species and number.
CREATE TEMPORARY TABLE migrate_site AS
    SELECT s.site_id AS old_id, MIN(k.site_id) AS new_id
    FROM site s JOIN site k
        ON k.species_id = s.species_id AND k.site_no = s.site_no AND k.site_id < s.site_id
    GROUP BY s.site_id;
UPDATE spectrum x JOIN migrate_site m ON x.site_id = m.old_id SET x.site_id = m.new_id;
DELETE x FROM site x JOIN migrate_site m ON x.site_id = m.old_id;
-- The kept sites' positions are the means over all their spectra again.
CREATE TEMPORARY TABLE migrate_kept_site AS SELECT DISTINCT new_id AS site_id FROM migrate_site;
DROP TEMPORARY TABLE migrate_site;

-- Spectra: a later row of a site and number that repeats an earlier one.
CREATE TEMPORARY TABLE migrate_spectrum AS
    SELECT s.spectrum_id AS old_id, s.study_id AS study_id
    FROM spectrum s JOIN spectrum k
        ON k.site_id = s.site_id AND k.spectrum_no = s.spectrum_no
        AND k.spectrum_id < s.spectrum_id
        AND (BINARY k.pathname = BINARY s.pathname OR k.reflectances = s.reflectances)
    GROUP BY s.spectrum_id, s.study_id;
DELETE x FROM spectrum x JOIN migrate_spectrum m ON x.spectrum_id = m.old_id;
UPDATE study x JOIN (SELECT DISTINCT study_id FROM migrate_spectrum) m ON x.study_id = m.study_id
    SET x.spectra_changed_at = CURRENT_TIMESTAMP(6);
DROP TEMPORARY TABLE migrate_spectrum;

UPDATE site x JOIN migrate_kept_site m ON x.site_id = m.site_id
    SET x.longitude = (SELECT avg(p.longitude) FROM spectrum p WHERE p.site_id = x.site_id),
        x.latitude = (SELECT avg(p.latitude) FROM spectrum p WHERE p.site_id = x.site_id),
        x.altitude = (SELECT avg(p.altitude) FROM spectrum p WHERE p.site_id = x.site_id);
DROP TEMPORARY TABLE migrate_kept_site;

ALTER TABLE species DROP INDEX IF EXISTS species_study_folder,
    ADD UNIQUE KEY species_study_folder (study_id, folder_name);
ALTER TABLE site DROP INDEX IF EXISTS site_species_no,
    ADD UNIQUE KEY site_species_no (species_id, site_no);
ALTER TABLE spectrum ADD UNIQUE KEY IF NOT EXISTS spectrum_site_no (site_id, spectrum_no);

INSERT IGNORE INTO schema_version (version) VALUES (2);
