-- This database's side of the accounts, loaded by the administrator: the owner owns the schema and
-- everything in it, the page service may connect, nobody else may do anything.

CREATE EXTENSION IF NOT EXISTS pgcrypto;

ALTER SCHEMA public OWNER TO qntzp_owner;
REVOKE ALL ON SCHEMA public FROM PUBLIC;
GRANT USAGE ON SCHEMA public TO qntzpsvr01, qntzp_pages;

DO $$
DECLARE
    item record;
BEGIN
    EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database());
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO qntzp_pages', current_database());
    -- The owner keeps who a connection acts for in a temporary table of that connection.
    EXECUTE format('GRANT TEMPORARY ON DATABASE %I TO qntzp_owner', current_database());
    -- A server loaded by an earlier version belongs to the administrator: it passes to the owner.
    FOR item IN
        SELECT c.oid::regclass AS name FROM pg_class c
         WHERE c.relnamespace = 'public'::regnamespace AND c.relkind IN ('r', 'p', 'v', 'm')
           AND c.relowner <> 'qntzp_owner'::regrole
           AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = c.oid AND d.deptype = 'e')
    LOOP
        EXECUTE format('ALTER TABLE %s OWNER TO qntzp_owner', item.name);
    END LOOP;
    FOR item IN
        SELECT p.oid::regprocedure AS name, p.prokind FROM pg_proc p
         WHERE p.pronamespace = 'public'::regnamespace AND p.proowner <> 'qntzp_owner'::regrole
           AND NOT EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = p.oid AND d.deptype = 'e')
    LOOP
        EXECUTE format('ALTER ROUTINE %s OWNER TO qntzp_owner', item.name);
    END LOOP;
    -- The owner hashes passwords and credentials with the extension's functions; nobody else calls them.
    FOR item IN
        SELECT p.oid::regprocedure AS name FROM pg_proc p JOIN pg_depend d ON d.objid = p.oid
         WHERE d.deptype = 'e' AND d.refobjid = (SELECT oid FROM pg_extension WHERE extname = 'pgcrypto')
    LOOP
        EXECUTE format('GRANT EXECUTE ON FUNCTION %s TO qntzp_owner', item.name);
        EXECUTE format('REVOKE EXECUTE ON FUNCTION %s FROM PUBLIC', item.name);
    END LOOP;
END $$;

-- What the owner makes is nobody else's to call unless granted (a default for one schema could not take
-- away what the global default gives).
ALTER DEFAULT PRIVILEGES FOR ROLE qntzp_owner REVOKE EXECUTE ON FUNCTIONS FROM PUBLIC;

-- Nobody but the administrator sees or disturbs the sessions of others, takes locks the procedures wait
-- on, or stores large objects.
DO $$
DECLARE
    routine regprocedure;
BEGIN
    REVOKE SELECT ON pg_catalog.pg_stat_activity, pg_catalog.pg_locks, pg_catalog.pg_stat_ssl,
                     pg_catalog.pg_stat_gssapi FROM PUBLIC;
    FOR routine IN
        SELECT p.oid::regprocedure FROM pg_catalog.pg_proc p
         WHERE p.pronamespace = 'pg_catalog'::regnamespace
           AND (p.proname IN ('pg_stat_get_activity', 'pg_lock_status', 'pg_terminate_backend',
                              'pg_cancel_backend', 'pg_blocking_pids', 'pg_safe_snapshot_blocking_pids',
                              'lo_creat', 'lo_create', 'lo_from_bytea', 'lo_import')
                OR p.proname LIKE 'pg\_stat\_get\_backend\_%'
                OR p.proname LIKE 'pg\_%advisory%')
    LOOP
        EXECUTE format('REVOKE EXECUTE ON FUNCTION %s FROM PUBLIC', routine);
    END LOOP;
    -- The owner's functions serialise uploads of one name and a board's conversation with these, and
    -- let one connection at a time sweep what has lapsed.
    GRANT EXECUTE ON FUNCTION pg_catalog.pg_advisory_xact_lock(integer, integer),
                              pg_catalog.pg_advisory_xact_lock(bigint),
                              pg_catalog.pg_try_advisory_xact_lock(bigint) TO qntzp_owner;
END $$;
