-- What an installation of the program proves without an account: its board number and its installation
-- number are learnable, so each is tied to the secret the installation made, the first one the server
-- sees with it. Only the secret's digest is kept. And what one address may write in a while, so that
-- nothing without an account grows without bound.

CREATE TABLE IF NOT EXISTS installation_proofs (
    kind          text NOT NULL,                -- 'board' (ano) or 'ebook' (soft_no)
    number        text NOT NULL,
    secret_digest bytea NOT NULL,               -- SHA-256 of the secret
    bound         timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (kind, number)
);

-- Whether the secret proves the number: 'proven'; 'free' when nobody has tied the number yet and bind is
-- false; 'refused' for another secret, or none. With bind, a free number is tied to this secret: only a
-- write that is let through binds, so that refused requests leave nothing behind.
CREATE OR REPLACE FUNCTION zp_installation_proof(p_kind text, p_number text, p_secret text, bind boolean)
RETURNS text
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    wanted bytea;
    stored bytea;
BEGIN
    IF coalesce(p_number, '') = '' OR char_length(p_number) > zp_limit('installation_no_chars') THEN
        RETURN 'refused';
    END IF;
    SELECT secret_digest INTO stored FROM installation_proofs WHERE kind = p_kind AND number = p_number;
    IF stored IS NULL AND NOT bind THEN RETURN 'free'; END IF;
    -- A secret is random hex the program made; anything shorter proves nothing.
    IF coalesce(length(p_secret), 0) < 32 OR length(p_secret) > 128 THEN RETURN 'refused'; END IF;
    wanted := sha256(convert_to(p_secret, 'UTF8'));
    IF stored IS NULL THEN
        INSERT INTO installation_proofs (kind, number, secret_digest) VALUES (p_kind, p_number, wanted)
        ON CONFLICT (kind, number) DO NOTHING;
        -- Two first uses at once: the one that got in decides.
        SELECT secret_digest INTO stored FROM installation_proofs WHERE kind = p_kind AND number = p_number;
    END IF;
    RETURN CASE WHEN stored = wanted THEN 'proven' ELSE 'refused' END;
END $$;

-- For the pages that read: a free number has nothing to read yet.
CREATE OR REPLACE FUNCTION page_installation_proof(p_kind text, p_number text, p_secret text) RETURNS text
LANGUAGE sql SET search_path = public, pg_temp AS $$
    SELECT zp_installation_proof(p_kind, p_number, p_secret, false)
$$;

CREATE TABLE IF NOT EXISTS address_writes (
    kind      text NOT NULL,                    -- 'board' or 'ebook'
    address   text NOT NULL,
    began     timestamptz NOT NULL,             -- the start of the address's current window
    done      integer NOT NULL,                 -- writes in it
    PRIMARY KEY (kind, address)
);
CREATE INDEX IF NOT EXISTS address_writes_began ON address_writes (kind, began);

-- One more write of this kind from the address: false, and nothing counted, when it has made `most`
-- within the window already. Windows that ended are forgotten, so the table holds active addresses only.
CREATE OR REPLACE FUNCTION zp_address_may_write(p_kind text, p_address text, most integer, span interval)
RETURNS boolean
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    counted integer;
BEGIN
    DELETE FROM address_writes WHERE kind = p_kind AND began < now() - span;
    INSERT INTO address_writes AS w (kind, address, began, done)
    VALUES (p_kind, coalesce(p_address, ''), now(), 1)
    ON CONFLICT (kind, address) DO UPDATE
       SET done = w.done + 1
     WHERE w.done < most
    RETURNING done INTO counted;
    RETURN counted IS NOT NULL;
END $$;

-- Claims kept per address and day: a claim that ties a number counts, one of numbers the secret already
-- holds does not.
CREATE OR REPLACE FUNCTION zp_claims_per_day() RETURNS integer
LANGUAGE sql IMMUTABLE AS $$ SELECT 20 $$;

-- An installation claims its board number and its installation number (either may be '') with its
-- secret before it sends anything under them, so that nobody who learns a number can tie it first.
-- Each number nobody holds is tied to the secret: 'claimed' when both are the secret's now, 'taken' when
-- one is another installation's (a free one is tied all the same), 'too_many' when the address tied its
-- fill today (nothing tied), 'bad' for no number, a number too long or a secret that is none.
CREATE OR REPLACE FUNCTION page_installation_claim(board_no text, ebook_no text, secret text, address text)
RETURNS text
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    wanted text[][] := ARRAY[['board', coalesce(board_no, '')], ['ebook', coalesce(ebook_no, '')]];
    taken boolean := false;
    free boolean := false;
    proof text;
BEGIN
    IF coalesce(board_no, '') = '' AND coalesce(ebook_no, '') = '' THEN RETURN 'bad'; END IF;
    IF coalesce(length(secret), 0) < 32 OR length(secret) > 128 THEN RETURN 'bad'; END IF;
    FOR i IN 1 .. 2 LOOP
        IF char_length(wanted[i][2]) > zp_limit('installation_no_chars') THEN RETURN 'bad'; END IF;
        CONTINUE WHEN wanted[i][2] = '';
        proof := zp_installation_proof(wanted[i][1], wanted[i][2], secret, false);
        taken := taken OR proof = 'refused';
        free := free OR proof = 'free';
    END LOOP;
    IF free THEN
        IF NOT zp_address_may_write('claim', address, zp_claims_per_day(), interval '1 day') THEN
            RETURN 'too_many';
        END IF;
        FOR i IN 1 .. 2 LOOP
            CONTINUE WHEN wanted[i][2] = '';
            -- Two first claims at once: the one that got in decides.
            proof := zp_installation_proof(wanted[i][1], wanted[i][2], secret, true);
            taken := taken OR proof <> 'proven';
        END LOOP;
    END IF;
    RETURN CASE WHEN taken THEN 'taken' ELSE 'claimed' END;
END $$;

-- The desk lets a number go (the installation that holds it lost its secret, or somebody tied it first),
-- so that its installation can claim it again: the board number and the installation number made from it.
-- How many were held.
CREATE OR REPLACE FUNCTION desk_release_installation(board_no text, ebook_no text) RETURNS integer
LANGUAGE sql SET search_path = public, pg_temp AS $$
    WITH gone AS (
        DELETE FROM installation_proofs
         WHERE (kind = 'board' AND number = board_no) OR (kind = 'ebook' AND number = ebook_no)
        RETURNING 1)
    SELECT count(*)::integer FROM gone
$$;
