-- The page service's account may call the functions of its pages and of the door (those named page_…,
-- desk_… and door_…), each running as the schema's owner, and nothing else of this schema: the
-- program's own calls it makes with the rights of qntzpsvr01, which reach the twelve procedures only.
-- door_open alone runs as its caller (it takes on those rights), granted where it is made.
DO $$
DECLARE
    routine regprocedure;
BEGIN
    -- Nobody calls what the owner made unless granted below or in the script that made it.
    FOR routine IN
        SELECT p.oid::regprocedure FROM pg_proc p
         WHERE p.pronamespace = 'public'::regnamespace AND p.proowner = 'qntzp_owner'::regrole
    LOOP
        EXECUTE format('REVOKE EXECUTE ON ROUTINE %s FROM PUBLIC', routine);
    END LOOP;
    FOR routine IN
        SELECT p.oid::regprocedure FROM pg_proc p
         WHERE p.pronamespace = 'public'::regnamespace AND p.proowner = 'qntzp_owner'::regrole
           AND (p.proname LIKE 'page\_%' OR p.proname LIKE 'desk\_%' OR p.proname LIKE 'door\_%')
           AND p.proname <> 'door_open'
    LOOP
        EXECUTE format('ALTER FUNCTION %s SECURITY DEFINER', routine);
        EXECUTE format('GRANT EXECUTE ON FUNCTION %s TO qntzp_pages', routine);
    END LOOP;
END $$;
