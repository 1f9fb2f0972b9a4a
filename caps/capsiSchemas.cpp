#include "capsiSchemas.h"

namespace {

// The texts are the file format: a file made by any program of this family must read the same,
// so they change only together with a new schema version.
const char* const kCapsSchemaVersion1[] = {
    "CREATE TABLE pcd_meta ( key TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (key) );",
    "CREATE TABLE tolk_payload ( payloadID TEXT NOT NULL, productFamily TEXT NOT NULL, productName TEXT NOT NULL, "
    "version TEXT NOT NULL, signature TEXT NOT NULL, PRIMARY KEY (payloadID) );",
    "CREATE TABLE tolk_collection ( collectionID TEXT NOT NULL, collectionPayloadID TEXT NOT NULL REFERENCES "
    "tolk_payload (payloadID) ON DELETE RESTRICT, tsInstalled INT, tsModified INT, PRIMARY KEY (collectionID) );",
    "CREATE TABLE tolk_collection_payload ( collectionID TEXT NOT NULL REFERENCES tolk_collection (collectionID) "
    "ON DELETE CASCADE, payloadID TEXT NOT NULL REFERENCES tolk_payload (payloadID) ON DELETE RESTRICT, "
    "installState INT NOT NULL DEFAULT 0, tsInstalled INTEGER, PRIMARY KEY (collectionID, payloadID) );",
    "CREATE TABLE tolk_payload_constraint ( payloadID TEXT NOT NULL REFERENCES tolk_payload (payloadID) ON DELETE "
    "CASCADE, payloadIDb TEXT NOT NULL, constraintType INTEGER NOT NULL, PRIMARY KEY (payloadID, payloadIDb, "
    "constraintType) );",
    "CREATE TABLE collection_data ( collectionID TEXT NOT NULL REFERENCES tolk_collection (collectionID), domain "
    "TEXT NOT NULL, key TEXT NOT NULL, value TEXT, PRIMARY KEY (collectionID, domain, key) );",
    "CREATE TABLE payload_data ( payloadID TEXT NOT NULL REFERENCES tolk_payload (payloadID), domain TEXT NOT "
    "NULL, key TEXT NOT NULL, value TEXT, PRIMARY KEY (payloadID, domain, key) );",
    "CREATE TABLE upgraded_payloads ( payloadIDOriginal TEXT NOT NULL REFERENCES tolk_payload (payloadID), "
    "payloadIDUpgraded TEXT NOT NULL REFERENCES tolk_payload (payloadID), PRIMARY KEY (payloadIDOriginal) );",
    "CREATE TRIGGER ctd_tolk_payload BEFORE DELETE ON tolk_payload FOR EACH ROW BEGIN DELETE FROM "
    "tolk_collection_payload WHERE payloadID = OLD.payloadID; DELETE FROM tolk_payload_constraint WHERE payloadID "
    "= OLD.payloadID; DELETE FROM payload_data WHERE payloadID = OLD.payloadID; DELETE FROM upgraded_payloads "
    "WHERE payloadIDOriginal = OLD.payloadID; DELETE FROM upgraded_payloads WHERE payloadIDUpgraded = "
    "OLD.payloadID; END;",
    "CREATE TRIGGER cti_collection_data BEFORE INSERT ON collection_data FOR EACH ROW BEGIN SELECT RAISE(ABORT, "
    "'cti_collection_data: collectionID is invalid.') WHERE (SELECT collectionID FROM tolk_collection WHERE "
    "collectionID = NEW.collectionID) IS NULL; END;",
    "CREATE TRIGGER ctu_collection_data BEFORE UPDATE ON collection_data FOR EACH ROW BEGIN SELECT RAISE(ABORT, "
    "'ctu_collection_data: collectionID is invalid.') WHERE (SELECT collectionID FROM tolk_collection WHERE "
    "collectionID = NEW.collectionID) IS NULL; END;",
    "CREATE TRIGGER cti_payload_data BEFORE INSERT ON payload_data FOR EACH ROW BEGIN SELECT RAISE(ABORT, "
    "'cti_payload_data: payloadID is invalid.') WHERE (SELECT payloadID FROM tolk_payload WHERE payloadID = "
    "NEW.payloadID) IS NULL; END;",
    "CREATE TRIGGER ctu_payload_data BEFORE UPDATE ON payload_data FOR EACH ROW BEGIN SELECT RAISE(ABORT, "
    "'ctu_payload_data: payloadID is invalid.') WHERE (SELECT payloadID FROM tolk_payload WHERE payloadID = "
    "NEW.payloadID) IS NULL; END;",
    "CREATE TRIGGER ctd_tolk_collection BEFORE DELETE ON tolk_collection FOR EACH ROW BEGIN DELETE FROM "
    "tolk_collection_payload WHERE collectionID = OLD.collectionID; DELETE FROM collection_data WHERE "
    "collectionID = OLD.collectionID; END;",
    "CREATE TRIGGER cti_tolk_collection_payload BEFORE INSERT ON tolk_collection_payload FOR EACH ROW BEGIN "
    "SELECT RAISE(ABORT, 'cti_tolk_collection_payload: collectionID is invalid.') WHERE (SELECT collectionID FROM "
    "tolk_collection WHERE collectionID = NEW.collectionID) IS NULL; SELECT RAISE(ABORT, "
    "'cti_tolk_collection_payload: payloadID is invalid.') WHERE (SELECT payloadID FROM tolk_payload WHERE "
    "payloadID = NEW.payloadID) IS NULL; END;",
    "CREATE TRIGGER ctu_tolk_collection_payload BEFORE UPDATE ON tolk_collection_payload FOR EACH ROW BEGIN "
    "SELECT RAISE(ABORT, 'ctu_tolk_collection_payload: collectionID is invalid.') WHERE (SELECT collectionID FROM "
    "tolk_collection WHERE collectionID = NEW.collectionID) IS NULL; SELECT RAISE(ABORT, "
    "'ctu_tolk_collection_payload: payloadID is invalid.') WHERE (SELECT payloadID FROM tolk_payload WHERE "
    "payloadID = NEW.payloadID) IS NULL; END;",
    "CREATE TRIGGER ctd_tolk_collection_payload BEFORE DELETE ON tolk_collection_payload FOR EACH ROW WHEN "
    "OLD.installState != 0 BEGIN SELECT RAISE(ABORT, 'ctd_tolk_collection_payload: Payload must be marked as "
    "uninstalled before removing'); END;",
    "CREATE TRIGGER cti_tolk_payload_constraint BEFORE INSERT ON tolk_payload_constraint FOR EACH ROW BEGIN "
    "SELECT RAISE(ABORT, 'cti_tolk_payload_constraint: payloadID is invalid.') WHERE (SELECT payloadID FROM "
    "tolk_payload WHERE payloadID = NEW.payloadID) IS NULL; END;",
    "CREATE TRIGGER ctu_tolk_payload_constraint BEFORE UPDATE ON tolk_payload_constraint FOR EACH ROW BEGIN "
    "SELECT RAISE(ABORT, 'ctu_tolk_payload_constraint: payloadID is invalid.') WHERE (SELECT payloadID FROM "
    "tolk_payload WHERE payloadID = NEW.payloadID) IS NULL; END;",
    "INSERT INTO pcd_meta (key, value) VALUES ('schema_version', 1);",
    "INSERT INTO pcd_meta (key, value) VALUES ('schema_compatibility_version', 1);",
    nullptr,
};

const char* const kUninstallSchemaVersion1[] = {
    "CREATE TABLE pcd_meta ( key TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (key) );",
    "CREATE TABLE path_aliases ( installPath TEXT NOT NULL, aliasData TEXT NOT NULL, PRIMARY KEY (installPath) );",
    "CREATE TABLE token_volumes ( token TEXT NOT NULL, volumePath TEXT NOT NULL, volumeAliasData TEXT NOT NULL, "
    "PRIMARY KEY (token) );",
    "INSERT INTO pcd_meta (key, value) VALUES ('schema_version', 1);",
    "INSERT INTO pcd_meta (key, value) VALUES ('schema_compatibility_version', 1);",
    nullptr,
};

}  // namespace

const capsiSchemaStatements gCapsSchemas[] = {kCapsSchemaVersion1, nullptr};
const capsiSchemaStatements gUninstallSchemas[] = {kUninstallSchemaVersion1, nullptr};

int capsiSchemaLatestVersion(capsiSchemaList schemas)
{
    int count = 0;
    while (schemas != nullptr && schemas[count] != nullptr)
        ++count;
    return count;
}
