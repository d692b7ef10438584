-- The door's side of the program's calls: each call is one transaction that begins here.

-- The answer of each procedure call, under the key the program made for it, so that a call sent again
-- after its answer was lost finds what the first one did instead of doing it twice. Kept for two days.
CREATE TABLE IF NOT EXISTS door_answers (
    call_key text PRIMARY KEY,
    acc_id   integer NOT NULL,
    answer   text,  -- NULL when the call kept none (it issued a credential, which is never stored)
    created  timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS door_answers_created ON door_answers (created);

-- Begins a call: binds the transaction to the account of the credential (account 0 without one, -1 for
-- one that is unknown or has lapsed, and then nothing is bound) and, when the call has a key, claims it.
-- A key claimed before comes back with the answer kept for it (claimed true): a first call still running
-- is waited for, and one that failed leaves nothing claimed. A key of another account is refused.
CREATE OR REPLACE FUNCTION door_begin(credential text, key text, OUT account integer, OUT claimed boolean,
                                      OUT kept_answer text)
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    kept door_answers%ROWTYPE;
BEGIN
    account := 0;
    claimed := false;
    IF coalesce(credential, '') <> '' THEN
        account := zp_credential_account(credential);
        IF account = 0 THEN
            account := -1;
            RETURN;
        END IF;
    END IF;
    PERFORM zp_bind_account(greatest(account, 0));
    IF coalesce(key, '') = '' THEN
        RETURN;
    END IF;
    IF key !~ '^[0-9A-Za-z-]{16,64}$' THEN
        RAISE EXCEPTION 'malformed call key' USING ERRCODE = '22023';
    END IF;
    INSERT INTO door_answers (call_key, acc_id) VALUES (key, account) ON CONFLICT DO NOTHING;
    IF FOUND THEN
        IF random() < 0.001 THEN
            DELETE FROM door_answers WHERE created < now() - interval '2 days';
        END IF;
        RETURN;
    END IF;
    SELECT * INTO kept FROM door_answers WHERE call_key = key;
    IF kept.acc_id <> account THEN
        RAISE EXCEPTION 'call key of another account' USING ERRCODE = '42501';
    END IF;
    claimed := true;
    kept_answer := kept.answer;
END $$;

-- Keeps the answer of the call that claimed key.
CREATE OR REPLACE FUNCTION door_keep(key text, answer text) RETURNS void
LANGUAGE sql SET search_path = public, pg_temp AS $$
    UPDATE door_answers SET answer = door_keep.answer WHERE call_key = key
$$;

-- The declared parameters of the procedure the program calls by name: only those the program's rights
-- reach (qntzpsvr01), names compared without regard to case, the exact spelling first. One row per
-- parameter in its order (none for a procedure without), each with the procedure's own facts.
CREATE OR REPLACE FUNCTION door_procedures(wanted text)
RETURNS TABLE (proc_oid oid, proc_name text, is_procedure boolean, returns_set boolean,
               arg_name text, arg_mode text, arg_type oid, arg_type_name text)
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT p.oid, p.proname::text, p.prokind = 'p', p.proretset, a.name, a.mode::text, a.type,
           format_type(a.type, NULL)
      FROM pg_proc p
      LEFT JOIN LATERAL unnest(coalesce(p.proallargtypes, p.proargtypes::oid[]),
                               coalesce(p.proargmodes, array_fill('i'::"char", ARRAY[p.pronargs::int])),
                               p.proargnames) WITH ORDINALITY AS a(type, mode, name, ord) ON true
     WHERE p.pronamespace = 'public'::regnamespace AND lower(p.proname) = lower(wanted)
       AND p.proowner = 'qntzp_owner'::regrole AND has_function_privilege('qntzpsvr01', p.oid, 'EXECUTE')
     ORDER BY p.proname = wanted DESC, p.oid, a.ord
$$;
