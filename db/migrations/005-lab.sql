-- Version 4 to 5: a lab's server. The accounts with their role and the editors of each study,
-- which triggers enforce on every change (so that a hand-written SQL client is held to the same
-- rights as Orvane); who created and last changed a study, species, feature space, library or
-- mixture, and when; and a version count of each of those records, so that an editor's change
-- of a record that changed since it was read is refused instead of overwriting it. Can run
-- again.
SET NAMES utf8mb4;

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

-- Who created and last changed a record, and when; row_version counts its changes, so that an
-- editor's change of a record read at an older version is refused instead of overwriting.
ALTER TABLE study ADD COLUMN IF NOT EXISTS created_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS created_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS changed_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS row_version INT NOT NULL DEFAULT 1;
ALTER TABLE species ADD COLUMN IF NOT EXISTS created_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS created_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS changed_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS row_version INT NOT NULL DEFAULT 1;
ALTER TABLE feature_space ADD COLUMN IF NOT EXISTS created_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS created_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS changed_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS row_version INT NOT NULL DEFAULT 1;
ALTER TABLE library ADD COLUMN IF NOT EXISTS created_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS created_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS changed_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS row_version INT NOT NULL DEFAULT 1;
ALTER TABLE mixture ADD COLUMN IF NOT EXISTS created_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS created_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS changed_by VARCHAR(80) NOT NULL DEFAULT '',
    ADD COLUMN IF NOT EXISTS changed_at TIMESTAMP(6) NULL DEFAULT NULL,
    ADD COLUMN IF NOT EXISTS row_version INT NOT NULL DEFAULT 1;

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

INSERT IGNORE INTO schema_version (version) VALUES (5);
