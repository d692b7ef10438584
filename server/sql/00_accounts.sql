-- Who may reach the server's database, and as what. Scripts whose names begin with 0 are loaded by the
-- cluster's administrator; the others run as the schema's owner. The accounts are the cluster's, shared
-- by its databases: each is changed only where it differs, so that loads of two databases at once do
-- not both change it.
--
--   qntzp_owner  owns the schema and the SECURITY DEFINER functions; cannot log on; no superuser.
--   qntzpsvr01   the rights of the program's calls through the door: the twelve procedures, nothing
--                else; cannot log on (the page service takes it on for the length of one call).
--   qntzp_pages  the page service's login: no superuser; a bounded number of connections, statements
--                and idle time. Its password is set by whoever starts the service (dev_server.sh).

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qntzp_owner') THEN
        CREATE ROLE qntzp_owner NOLOGIN;
    END IF;
EXCEPTION WHEN duplicate_object OR unique_violation THEN
    NULL;
END $$;

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qntzpsvr01') THEN
        CREATE ROLE qntzpsvr01 NOLOGIN;
    END IF;
EXCEPTION WHEN duplicate_object OR unique_violation THEN
    NULL;
END $$;

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'qntzp_pages') THEN
        CREATE ROLE qntzp_pages LOGIN CONNECTION LIMIT 40;
    END IF;
EXCEPTION WHEN duplicate_object OR unique_violation THEN
    NULL;
END $$;

DO $$
DECLARE
    r pg_authid%ROWTYPE;
    wanted text[] := ARRAY['statement_timeout=30s', 'idle_in_transaction_session_timeout=20s',
                           'idle_session_timeout=10min', 'lock_timeout=20s'];
    setting text;
BEGIN
    -- Neither account that cannot log on may, whatever an earlier version of this server made of them
    -- (the program's account once logged on with a password every copy held).
    FOR r IN SELECT * FROM pg_authid WHERE rolname IN ('qntzp_owner', 'qntzpsvr01') LOOP
        IF r.rolcanlogin OR r.rolsuper OR r.rolcreaterole OR r.rolcreatedb OR r.rolreplication
           OR r.rolbypassrls OR r.rolpassword IS NOT NULL THEN
            EXECUTE format('ALTER ROLE %I NOLOGIN NOSUPERUSER NOCREATEROLE NOCREATEDB NOREPLICATION '
                           'NOBYPASSRLS PASSWORD NULL', r.rolname);
        END IF;
    END LOOP;
    SELECT * INTO r FROM pg_authid WHERE rolname = 'qntzp_pages';
    IF NOT r.rolcanlogin OR r.rolsuper OR r.rolcreaterole OR r.rolcreatedb OR r.rolreplication
       OR r.rolbypassrls OR r.rolconnlimit <> 40 THEN
        ALTER ROLE qntzp_pages LOGIN NOSUPERUSER NOCREATEROLE NOCREATEDB NOREPLICATION NOBYPASSRLS
            CONNECTION LIMIT 40;
    END IF;
    -- A statement, a transaction left open and a connection left idle are each bounded.
    FOREACH setting IN ARRAY wanted LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_db_role_setting s
                        WHERE s.setrole = r.oid AND s.setdatabase = 0 AND setting = ANY (s.setconfig)) THEN
            EXECUTE format('ALTER ROLE qntzp_pages SET %I = %L', split_part(setting, '=', 1),
                           split_part(setting, '=', 2));
        END IF;
    END LOOP;
    -- The page service takes on the program's rights for each call.
    IF NOT pg_has_role('qntzp_pages', 'qntzpsvr01', 'MEMBER') THEN
        GRANT qntzpsvr01 TO qntzp_pages;
    END IF;
EXCEPTION WHEN unique_violation THEN
    NULL;
END $$;
